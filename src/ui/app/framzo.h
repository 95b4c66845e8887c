#pragma once
// The main window: the workspace of image and gallery windows, the
// window-wide shortcuts, the routing of image commands to the active image
// window, where image windows lie in the workspace, drag and drop, and the
// settings kept between runs.

#include "core/cut/capture.h"
#include "core/cut/cutsettings.h"
#include "core/imageio/imagewrite.h"
#include "ui/forms/uiframzo.h"

#include <QPointer>
#include <QString>
#include <memory>

class BrowseBar;
class ColorPanel;
class CutBar;
class ViewActions;
class Picture;
class QMdiArea;
class QMdiSubWindow;
class QLabel;
class QSettings;
class QShortcut;

class Framzo : public UiFramzo
{
    Q_OBJECT

public:
    explicit Framzo(QWidget *parent = nullptr);
    ~Framzo() override;

    QMdiArea *mpWorkspace = nullptr;
    QString capturePath;
    QString mLastPath;
    QString mProgPath;
    BrowseBar *mpBrowseBar = nullptr;

    // The command line: the first argument is the program path, every further
    // one that holds an image opens in an image window, in order.
    void openArguments(const QStringList &args);

    // The image window the image commands act on: the workspace's active
    // window when it is a "Picture", else null.
    Picture *activePicture() const;

    // x of a dialog of width dialogWidth centred over a window at x with
    // width windowWidth (halves truncated).
    static int centredX(int x, int windowWidth, int dialogWidth);

    // The colour panel built last while it is open, else null.
    ColorPanel *currentColorPanel() const;

    // The Cut bar as a value, as every image window is handed it.
    CutSettings cutSettings() const;

    // How cuts and saved photos are written, as every image window is
    // handed it; the JPEG quality is kept in the settings store.
    const imageio::PhotoOptions &photoOptions() const { return mPhotoOptions; }
    // The Edit menu's "JPEG Quality...": 1..100, or 0 for the source's own.
    QAction *mpJpegQuality = nullptr;
    // The Edit menu's "Size in Cut Names" (checkable, kept): IMG_0412_13x9.jpg.
    QAction *mpSizeInNames = nullptr;

    // Shows a short message in the status bar (failures the user must know of).
    void reportFailure(const QString &message);

    // The status bar's lasting part: what Return would write from the
    // active image window, or empty.
    QString cutReadout() const;

public slots:
    void newChildWin(QString path);

private slots:
    void capture();
    // Asks for the capture folder; true when one was chosen.
    bool setCapturePath();
    void nextImg();
    void prevImg();
    void rotate90();
    void rotate270();
    void saveImage();
    void saveImageAs();
    void deleteImg();
    void askDeleteImg();
    void showAboutDlg();
    void showHelpDlg();
    void showHtml();
    void openColor();
    int changeColor();
    int invertColor();
    void cascade();
    void tile();
    void browse();
    void askJpegQuality();
    // The View menu's "Colour management": photos drawn in the screen's
    // colours, or with the numbers of their files.
    void setColourManaged(bool on);
    // Shift+Return: cuts as capture() does, opens nothing, says what was
    // written where, and shows the next photo of the folder.
    void cutAndNext();

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    // Photos with unsaved edits are not closed away unasked.
    void closeEvent(QCloseEvent *event) override;
    // Watches the application's key overrides while a popup is open, and
    // the Browse dock's hiding.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The keys and the actions' slots, each on one line.
    void createConnections();
    void loadSettings();
    void saveSettings();
    void openBatch(const QStringList &paths);
    // Makes sure there is a capture folder, asking for one while there is
    // none. False when the question was cancelled: nothing is cut then.
    bool ensureCapturePath();
    // Runs command on the active image window, if there is one.
    void withActive(const std::function<void(Picture *)> &command);
    // Actions that need an image window are enabled while there is one.
    void updateActions();
    // Hands the photo options to every image window.
    void updatePhotoOptions();
    // Shows the active image window's readout of its cut.
    void showCutReadout();
    // Shows what a long write is doing, or takes the line away when message
    // is empty.
    void showWriting(const QString &message);
    // Moves the keyboard focus out of the Browse dock into the active
    // workspace window, as the dock hides.
    void leaveBrowseDock();
    // Connects a new image window to the main window.
    void connectPicture(Picture *pic);

    // Cutting one photo after another.
    void cutDoneForNext(Picture *pic, const capture::Result &result);
    capture::Naming cutNaming() const;
    // Whether Return, Enter and Alt+C may cut with widget having the
    // keyboard: an image window or the Cut bar's two fields.
    bool cutsFrom(const QWidget *widget) const;
    // Photos Cut and Next passed over as too small, in pic, since the last
    // end of a folder.
    int mSkipped = 0;
    QPointer<Picture> mSkippedIn;

    std::unique_ptr<QSettings> mpSettings;
    CutBar *mCutBar = nullptr;
    ViewActions *mViewActions = nullptr;
    imageio::PhotoOptions mPhotoOptions;
    QMetaObject::Connection mDockToBrowse;
    // Keys that act on the active image window, enabled with its actions.
    QList<QShortcut *> mImageKeys;
    // Windows opened in one go into an empty workspace all open maximised:
    // set while such a batch is being opened.
    bool mBatchIntoEmpty = false;
    // The colour panel built last; it deletes itself when it closes.
    QPointer<ColorPanel> colorPanel;
    // Lasting, so that the messages that come and go do not hide it.
    QLabel *mCutReadout = nullptr;
    // The Browse dock's width as stored; 0 when none is.
    int mBrowseWidth = 0;
    QByteArray mScreenProfile; // the screen's ICC profile; empty: sRGB
};

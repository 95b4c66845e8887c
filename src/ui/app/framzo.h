#pragma once
// The main window: the workspace of image and gallery windows, the
// window-wide shortcuts, the routing of image commands to the active image
// window, drag and drop, and the settings kept between runs.

#include "ui/forms/uiframzo.h"
#include "core/imageio/imageio.h"
#include "core/imageio/imagewrite.h"
#include "core/cut/capture.h"
#include "core/cut/cutsettings.h"

#include <QPointer>
#include <QString>
#include <memory>

class BrowseBar;
class Picture;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QSettings;
class QShortcut;
class ColorPanel;

class Framzo : public UiFramzo
{
    Q_OBJECT

public:
    explicit Framzo(QWidget *parent = nullptr, const char *name = nullptr, Qt::WindowFlags flags = Qt::Window);
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

    // The help file path derived from a program path: backslashes become
    // "/", the program's folder (nothing removed when there is no "/") plus
    // "/help/open.html".
    static QString helpPathFor(const QString &progPath);
    // Where the help file is looked for, first match wins: next to the
    // running program, then the installed data folder, then helpPathFor().
    QString helpFile() const;
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

    // Shows a short message in the status bar (failures the user must know of).
    void reportFailure(const QString &message);

    // The status bar's lasting part: what Return would write from the
    // active image window, or empty.
    QString cutReadout() const;

public slots:
    void newChildWin(QString path);

private slots:
    void capture();
    void setCapturePath();
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
    // Shift+Return: cuts as capture() does, opens nothing, says what was
    // written where, and shows the next photo of the folder.
    void cutAndNext();
    // The turn button and the key O: the size fields swap, and the frame of
    // the active image window turns with them.
    void turnFrame();
    // A preset chosen from the Cut bar's list (its item index).
    void choosePreset(int index);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    // Photos with unsaved edits are not closed away unasked.
    void closeEvent(QCloseEvent *event) override;
    // Watches the application's key overrides while a popup is open, and
    // the Browse dock's hiding.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void loadSettings();
    void saveSettings();
    void openBatch(const QStringList &paths);
    // Hands the Cut bar's settings to every image window.
    void updateCutSettings();
    // Hands the photo options to every image window.
    void updatePhotoOptions();
    // Shows the active image window's readout of its cut.
    void showCutReadout();
    // Shows what a long write is doing, at once (the write keeps the event
    // loop waiting), or takes the line away when message is empty.
    void showWriting(const QString &message);
    // Moves the keyboard focus out of the Browse dock into the active
    // workspace window, as the dock hides.
    void leaveBrowseDock();
    // The image windows, in the workspace's order.
    QList<Picture *> pictures() const;

    // Cutting one photo after another: the connections of the Cut and Next
    // action, the presets, the turn button and "auto" (made once), and those
    // of each new image window.
    void setUpBatchCutting();
    void connectBatchCutting(Picture *pic);
    void loadBatchSettings(QSettings &s);
    void saveBatchSettings(QSettings &s) const;
    // The preset list shows the preset the Cut bar's fields stand for.
    void showPreset();
    // With "auto" on, turns the size fields, and the frame, to the active
    // image window's photo.
    void followPhotoOrientation();
    // Swaps the two size fields, handing nothing on: the caller does.
    void swapSizeFields();
    capture::Naming cutNaming() const;

    std::unique_ptr<QSettings> mpSettings;
    imageio::PhotoOptions mPhotoOptions;
    QMetaObject::Connection mDockToBrowse;
    // Windows opened in one go into an empty workspace all open maximised:
    // set while such a batch is being opened.
    bool mBatchIntoEmpty = false;
    // Set while a preset fills the Cut bar: its fields and boxes change one
    // after another, and the windows get the result once.
    bool mFillingFields = false;
    // The colour panel built last; it deletes itself when it closes.
    QPointer<ColorPanel> colorPanel;
    // Lasting, so that the messages that come and go do not hide it.
    QLabel *mCutReadout = nullptr;
    // The Browse dock's width as stored; 0 when none is.
    int mBrowseWidth = 0;
};

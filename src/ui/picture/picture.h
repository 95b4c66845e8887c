#pragma once
// An image window: one image file shown inside the main window's workspace.
// It keeps the full-resolution image (every edit, capture and save works on
// it) and a display copy scaled to fit the workspace as the background of
// its scene, with the cut frame and its resize handle on top.
//
// A photo is read without making the window wait (PhotoLoader): canvas and
// frame follow its header at once, its display copy comes from a reduced
// decode on a worker, and its full decode follows on another. Capture,
// edits and Save wait for the full decode (busy cursor) when it has not
// come yet.
//
// It does not know the main window: it is handed the Cut bar's settings as a
// value (setCutSettings) and tells what happened through its signals.

#include "core/imageio/filestamp.h"
#include "core/imageio/imageio.h"
#include "core/imageio/imagewrite.h"
#include "core/cut/capture.h"
#include "core/cut/cutframe.h"

#include <QImage>
#include <QMainWindow>
#include <QMutex>
#include <QStringList>

class PhotoLoader;
class Prefetcher;
namespace displaycopy {
struct Copy;
}
class QGraphicsRectItem;
class QGraphicsScene;
class QGraphicsView;
class QKeyEvent;

class Picture : public QMainWindow
{
    Q_OBJECT

public:
    // workspace: the widget whose size the display is fitted into.
    Picture(QWidget *workspace, const char *name, Qt::WindowFlags flags);
    ~Picture() override;

    // Shows the file at path: at once what its header tells (the canvas and
    // frame for its size), its pixels as they are decoded. Returns without
    // waiting for a decode.
    void loadImage(const QString &path);
    void refreshView();
    // Whether the photo asked for last still has its display copy or its
    // full decode to come.
    bool isLoading() const;

    // Cut frame and capture.
    // Writes the cut and tells the main window to open it (cutWritten).
    void captureTo(const QString &captureFolder, capture::Naming naming = capture::Naming::Replace);
    // Writes the cut and only returns what was written: nothing is opened.
    // A failure is reported (failure); a hidden frame writes nothing and
    // reports nothing, as with captureTo.
    capture::Result cutInto(const QString &captureFolder, capture::Naming naming);
    // The Cut bar as it is now. The frame takes its colour at once, and in
    // centimetre mode its size too; otherwise it follows from the next drag
    // on.
    void setCutSettings(const CutSettings &settings);
    const CutSettings &cutSettings() const { return mCutSettings; }
    // Takes settings whose shape was chosen on purpose (a preset): the frame
    // takes that shape at once, at its relative place and size, where a
    // ratio typed into the fields waits for the next resize.
    void reshapeFrame(const CutSettings &settings);
    // Takes settings whose two numbers have just been swapped: the frame
    // turns a quarter when force is set or when it lies the other way than
    // the numbers now say.
    void turnFrame(const CutSettings &settings, bool force);
    // How cuts and saved photos are written (the JPEG quality setting).
    void setPhotoOptions(const imageio::PhotoOptions &options) { mPhotoOptions = options; }
    const imageio::PhotoOptions &photoOptions() const { return mPhotoOptions; }
    // What Return would write, as the status bar shows it (empty while the
    // frame is hidden).
    QString cutReadout() const { return mReadout; }

    // Edits.
    void rotateBy(double angle);
    int invertColors();
    int adjustColors(int red, int green, int blue, int all);
    void colorSettings(int &red, int &green, int &blue, int &all) const;
    // Whether the image holds edits (turns, an inversion, a colour
    // adjustment) made since it was last loaded or saved. Turns that add
    // up to a whole turn leave nothing to save.
    bool hasUnsavedEdits() const { return mEdited && mQuarterTurns != 0; }

    // Save and Save As.
    void saveInPlace();
    void saveAs();

    // Folder navigation and delete.
    bool stepInFolder(int step);
    // Whether stepInFolder(step) would show another photo (false at the
    // ends of the folder and for a file that is not in its folder's list).
    bool canStep(int step) const;
    void deleteFile();

    // Read access for the main window and tests. The image is the full
    // decode of the photo shown: waited for when it has not come yet.
    const QImage &image();
    QString path() const { return filePath; }
    QStringList folderList() const { return folderEntries; }
    QString information() const { return infoText; }
    // The embedded image name used as the window icon.
    QString windowIconName() const { return mIconName; }
    QGraphicsScene *canvas() const { return imageCanvas; }
    // Makes the display copies of the folder neighbours ahead.
    Prefetcher *prefetcher() const;
    QGraphicsView *view() const { return canvasView; }
    QGraphicsRectItem *frameItem() const { return cutFrame; }
    QGraphicsRectItem *handleItem() const { return resizeHandle; }
    // The cut frame's drag state and geometry in canvas units.
    const CutFrame &frameState() const { return frame; }
    // What the frame lies on: canvas, image and the image's resolution.
    framegeometry::Surface surface() const;
    // The workspace size refreshView fits the display into.
    QSize workspaceSize() const;

    // The display size for an image of W x H in a workspace of WW x WH
    // (truncating arithmetic; see refreshView).
    static QSize displaySize(int W, int H, int WW, int WH);
    // The information line for a file and its image (size, depth in bits,
    // resolution in dots per metre).
    static QString infoLine(const QString &path, const QImage &image);
    static QString infoLine(const QString &path, const QSize &size, int depth, const QSize &dotsPerMeter);
    // The image files of a folder (names only), sorted ignoring case.
    static QStringList listFolder(const QString &folder);

private:
    // Closes the window and its workspace frame, which destroys both.
    void closeWindow();
    // Draws the frame and its handle in the colour of the cut settings.
    void paintFrame();
    // Has the files before and after this one in the folder decoded ahead.
    void requestNeighbours();

public slots:
    void showFrame(bool on);

signals:
    // A cut was written to path (the main window opens it).
    void cutWritten(const QString &path);
    // Something the user asked for failed; message says what.
    void failure(const QString &message);
    // What Return would write changed (the frame moved or changed size, or
    // the image or the Cut bar changed).
    void cutReadoutChanged(const QString &text);
    // A write that takes a while is under way (message says what), or has
    // ended (empty message). Sent only for large images.
    void writing(const QString &message);
    // Another photo was laid out on the canvas (opened, stepped to, or
    // given a quarter turn): the main window may turn the frame to it.
    void imageShown();
    // The key O on the image: turn the frame.
    void turnRequested();
    // The photo at path is on screen (its display copy), or its full decode
    // has come (the image is then there for edits, capture and Save).
    void displayed(const QString &path);
    void loaded(const QString &path);

protected:
    // Unsaved edits are not closed away unasked.
    void closeEvent(QCloseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The cut frame's handlers, with pointer positions in canvas units.
    QPoint canvasPoint(QWidget *from, const QPointF &pos) const;
    void framePress(QPoint p);
    void frameMove(QPoint p);
    void frameRelease();
    // Puts the items where the frame state says.
    void drawFrame();
    // The same after the user moved or sized the frame: it takes the pen of
    // the chosen colour, and the readout follows.
    void drawMovedFrame();
    // Puts the frame back on the canvas after the image or the Cut bar
    // changed.
    void refitFrame();
    void updateReadout();
    // After the canvas changed from before: the frame keeps its place and
    // size relative to the photo (placement taken on the old canvas), then
    // is kept on the new one. An unchanged canvas just refits it.
    void followFrame(QSize before, const CutFrame::Placement &placement);
    // The keys of the frame on the image: arrows move it (by 10 with
    // Shift), + and - change its size by a ratio step, O turns it. True
    // when the key was one of them.
    bool frameKey(const QKeyEvent *event);
    // Sends writing(message) when a write of pixels this many takes long
    // enough to be noticed; returns whether it did (the caller then sends
    // the empty message when the write has ended).
    bool tellWriting(qint64 pixels, const QString &message);

private:
    // Everything loadImage does before the decodes start: false when there
    // is no such file (nothing changed then).
    bool readFile(const QString &path);
    // Fits canvas, view and window to an image of imageSize with copy as
    // its display copy (a null copy keeps the one shown when it has the
    // right size, else shows the canvas colour); the caller holds viewLock.
    // False when there is no image to fit.
    bool layOutView(const QSize &imageSize, const QImage &copy);
    // layOutView, then the frame follows (or is put back on) the canvas, and
    // imageShown() tells of another photo (or size). False as layOutView.
    bool layOut(const QSize &imageSize, const QImage &copy, const QString &photo);
    // The loader's results.
    void showCopy(const displaycopy::Copy &copy);
    void takeDecode(const QString &path, const QImage &image, const FileStamp &stamp);
    void takeExactCopy(const QString &path, const QImage &copy);
    // Waits, with the busy cursor, for the full decode of the photo asked for.
    void finishLoading();
    // Decodes filePath again into the image, here and now (an edit that
    // starts from the file); the image stays as it was when that fails.
    void readPixels();

    QWidget *workspace;
    CutSettings mCutSettings;
    QStringList folderEntries;
    QString filePath;
    std::unique_ptr<QImage> currentImage;
    int dotsPerMeterX = 0;
    int dotsPerMeterY = 0;
    QMutex viewLock;
    QGraphicsScene *imageCanvas = nullptr;
    QGraphicsView *canvasView = nullptr;
    QGraphicsRectItem *cutFrame = nullptr;
    QGraphicsRectItem *resizeHandle = nullptr;
    // moving, resizing, frameX, frameY, frameWidth, frameHeight, pressX,
    // pressY, pressFrameX, pressFrameY: the frame's drag state.
    CutFrame frame;
    int colorRed = 0;
    int colorGreen = 0;
    int colorBlue = 0;
    int colorAll = 0;
    QString infoText;
    QString mIconName;
    // Whether the image shown was decoded from filePath. A file that cannot
    // be decoded leaves the previous image under the new name; saving that
    // in place would write one photo over another file.
    bool mImageFromFile = false;
    // The file as it was when the image shown was read from it: Save asks
    // before replacing a file that has changed since.
    FileStamp mStamp;
    // The quarter turns (clockwise, 0..3) made since the image was decoded
    // from filePath, while they are its only edits; -1 once anything else
    // changed the pixels. A JPEG that was only turned is saved by turning
    // its coded data, without a new encode.
    int mQuarterTurns = -1;
    // Set by every edit, cleared by a load (and so by a save).
    bool mEdited = false;
    imageio::PhotoOptions mPhotoOptions;
    PhotoLoader *mLoader = nullptr;
    QByteArray mFormat; // of filePath, from its content
    // What is on screen: the photo whose display copy is shown (its full
    // size, depth and resolution, and the file as it was read), and the
    // size the canvas is laid out for (the header's while a photo loads).
    struct CopyOf
    {
        QString path;
        QSize size;
        int depth = 0;
        QSize dotsPerMeter;
        FileStamp stamp;
    };
    CopyOf mCopyOf;
    QSize mImageSize;
    QString mImagePath; // the file currentImage was decoded from
    bool mCopyFromImage = false; // the copy shown was made from currentImage
    QString lastLoaded; // the file the neighbours were last asked for
    QString mReadout;
    // The photo imageShown() was last sent for.
    QString mShownPath;
    QSize mShownSize;
};

#pragma once
// An image window: the view of one photo (a Photo, which holds the file,
// the full-resolution image, the edits and the writes) inside the main
// window's workspace, with the cut frame on top (FrameTool). It shows the
// photo's display copy, scaled to fit the workspace, as the background of
// its scene, and says what is shown in its caption.
//
// A photo is shown without making the window wait: canvas and frame follow
// its header at once, its display copy comes from a worker, its full decode
// follows. Commands that need the full image, and every write, wait until
// the photo is idle (Photo::whenIdle); nothing is decoded, encoded or
// written on the GUI thread.
//
// It does not know the main window: it is handed the Cut bar's settings as a
// value (setCutSettings) and tells what happened through its signals. Where
// it lies in the workspace is the main window's business: the window only
// sizes its contents (baseSize) and says so (laidOut).

#include "core/cut/capture.h"
#include "core/cut/cutframe.h"
#include "core/imageio/filestamp.h"
#include "core/imageio/imagewrite.h"
#include "ui/picture/pictureview.h"

#include <QImage>
#include <QList>
#include <QMainWindow>
#include <QStringList>

class FrameTool;
class Photo;
class Prefetcher;
namespace displaycopy {
struct Copy;
}
class QGraphicsRectItem;
class QGraphicsScene;
class QGraphicsView;

class Picture : public QMainWindow
{
    Q_OBJECT

public:
    // workspace: the widget whose size the display is fitted into.
    explicit Picture(QWidget *workspace);
    ~Picture() override;

    Photo *photo() const { return mPhoto; }

    // Shows the file at path: at once what its header tells (the canvas and
    // frame for its size), its pixels as they are decoded. Returns without
    // waiting for a decode. An empty path, or no such file, changes nothing.
    void loadImage(const QString &path);
    // Makes the display copy anew from the full image and lays it out.
    void refreshView();
    // Whether the photo asked for last still has its display copy or its
    // full decode to come.
    bool isLoading() const;
    // Whether anything is under way: a decode, a write, a command waiting.
    bool isBusy() const;
    // Blocks until nothing is under way (closing; tests).
    void finish();

    // ---- cut frame and capture
    // Writes the cut (once the photo is idle); cutWritten(path) tells the
    // main window to open it, failure() why nothing was written. A hidden
    // frame writes nothing and tells nothing.
    void captureTo(const QString &captureFolder, capture::Naming naming = capture::Naming::Replace);
    // Writes the cut as captureTo does and opens nothing; cutDone() tells
    // what was written (the main window then shows the next photo). A photo
    // too small for the centimetres is passed over: cutDone() says why.
    void cutAndNext(const QString &captureFolder, capture::Naming naming);
    void setCutSettings(const CutSettings &settings);
    const CutSettings &cutSettings() const;
    // A shape chosen on purpose (a preset): the frame takes it at once.
    void reshapeFrame(const CutSettings &settings);
    // Puts the frame in the middle of the photo; a window without a frame
    // gets one there (the largest of the ratio, or the centimetres).
    void centreFrame();
    // The two numbers swapped: the frame turns when force is set or when it
    // lies the other way than the numbers say.
    void turnFrame(const CutSettings &settings, bool force);
    // How cuts and saved photos are written (the JPEG quality setting).
    void setPhotoOptions(const imageio::PhotoOptions &options) { mPhotoOptions = options; }
    const imageio::PhotoOptions &photoOptions() const { return mPhotoOptions; }
    // What Return would write, as the status bar shows it (empty while the
    // frame is hidden).
    QString cutReadout() const;

    // ---- edits (each waits until the photo is idle)
    void rotateBy(double angle);
    int invertColors();
    int adjustColors(int red, int green, int blue, int all);
    void colorSettings(int &red, int &green, int &blue, int &all) const;
    void undo();
    void redo();
    // Whether the image holds edits not saved (turns that add up to a whole
    // turn, or edits all undone, leave nothing to save).
    bool hasUnsavedEdits() const;

    // ---- Save and Save As
    void saveInPlace();
    void saveAs();
    // Before pictures close: asks once about those with unsaved edits
    // (parent centres the question) and saves them when told to, waiting
    // for the writes. False when the closing is cancelled or a save failed
    // (that window is the one to show).
    static bool maybeSave(QWidget *parent, const QList<Picture *> &pictures, Picture **failed = nullptr);

    // ---- folder navigation and delete
    bool stepInFolder(int step);
    // Whether stepInFolder(step) would show another photo (false at the
    // ends of the folder and for a file that is not in its folder's list).
    bool canStep(int step) const;
    void deleteFile();

    // ---- read access for the main window and tests
    // The full decode of the photo shown, with its edits: waited for when
    // something is still under way.
    const QImage &image();
    QString path() const;
    QStringList folderList() const;
    QString information() const { return infoText; }
    // The embedded image name used as the window icon.
    QString windowIconName() const { return mIconName; }
    QGraphicsScene *canvas() const { return imageCanvas; }
    // Makes the display copies of the folder neighbours ahead.
    Prefetcher *prefetcher() const;
    PictureView *view() const { return canvasView; }
    QGraphicsRectItem *frameItem() const;
    QGraphicsRectItem *handleItem() const;
    // The cut frame's drag state and geometry in canvas units.
    const CutFrame &frameState() const;
    // What the frame lies on: canvas, image and the image's resolution.
    framegeometry::Surface surface() const;
    // The workspace size the canvas is laid out for.
    QSize workspaceSize() const;
    // The workspace the display copy is made for: one whose display fills
    // the view the fitted canvas is drawn in (the window's, or the one it is
    // about to have, setViewHint), so that the copy is drawn one to one.
    QSize copyWorkspace() const;
    // The view a window not shown yet is going to have (a window opened
    // maximised); invalid: none known.
    void setViewHint(const QSize &view) { mViewHint = view; }

    // The display size for an image of W x H in a workspace of WW x WH
    // (truncating arithmetic; see refreshView).
    static QSize displaySize(int W, int H, int WW, int WH);
    // The information line for a file and its image (size, depth in bits,
    // resolution in dots per metre).
    static QString infoLine(const QString &path, const QImage &image);
    static QString infoLine(const QString &path, const QSize &size, int depth, const QSize &dotsPerMeter);
    // The image files of a folder (names only), sorted ignoring case.
    static QStringList listFolder(const QString &folder);

    // ---- zoom (the frame stays on the same image pixels at every zoom)
    void zoomIn();
    void zoomOut();
    void actualPixels();
    void fitToWindow();
    // As the status bar shows it.
    QString zoomText() const;
    void setThirds(bool on);

public slots:
    void showFrame(bool on);

signals:
    // A cut was written to path (the main window opens it).
    void cutWritten(const QString &path);
    // A cut of Cut and Next ended (result.path empty: nothing written; the
    // failure has been told).
    void cutDone(const capture::Result &result);
    // Something the user asked for failed; message says what.
    void failure(const QString &message);
    // What Return would write changed.
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
    // The contents took another size (baseSize): the main window sizes the
    // window around them.
    void laidOut();
    // The zoom changed (text as zoomText()).
    void zoomChanged(const QString &text);
    // Undo or Redo became possible or impossible, or the photo's edits
    // changed: the main window's actions follow.
    void editsChanged();

protected:
    // Unsaved edits are not closed away unasked.
    void closeEvent(QCloseEvent *event) override;
    // Presses, moves and releases that reach the window itself (outside the
    // view) go to the frame just the same.
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    // The photo's news.
    void showCopy(const displaycopy::Copy &copy);
    void showFailedCopy();
    void takeDecode(const QString &path);
    void takeExactCopy(const QString &path, const QImage &copy);
    void takeSaved(const capture::Result &result);
    void takeCut(const capture::Result &result);
    // Fits canvas and view to an image of imageSize with copy as its display
    // copy (a null copy keeps the one shown when it has the right size,
    // else shows the canvas colour). False when there is no image to fit.
    bool layOutView(const QSize &imageSize, const QImage &copy);
    // layOutView, then the frame follows (or is put back on) the canvas,
    // and imageShown() tells of another photo (or size). False as
    // layOutView.
    bool layOut(const QSize &imageSize, const QImage &copy, const QString &photo);
    // The caption: the information line, with the modified marker.
    void setInformation(const QString &text);
    // Starts a cut when the photo is idle; then says whether it was for
    // Cut and Next.
    void startCut(const QString &captureFolder, capture::Naming naming, bool next);
    // What the view may draw zoomed in: the full image of the photo on
    // screen, once it is there.
    const QImage *fullForView() const;
    // A copy of the whole photo at size, made on a worker, for the view.
    void makeSharperCopy(const QSize &size, quint64 generation);
    // Closes the window and its workspace frame, which destroys both.
    void closeWindow();

    QWidget *workspace;
    Photo *mPhoto = nullptr;
    FrameTool *mFrame = nullptr;
    QGraphicsScene *imageCanvas = nullptr;
    PictureView *canvasView = nullptr;
    QString infoText;
    QString mIconName;
    imageio::PhotoOptions mPhotoOptions;
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
    QSize mViewHint;
    // The workspace the photo shown was loaded for (its copies' size).
    QSize mLoadWorkspace;
    bool mCopyFromImage = false; // the copy shown was made from the full image
    // The photo imageShown() was last sent for.
    QString mShownPath;
    QSize mShownSize;
    // The cuts under way, oldest first: whether each was for Cut and Next.
    QList<bool> mCutsForNext;
};

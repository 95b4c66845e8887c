#pragma once
// One edit of a photo's pixels as a command of its undo stack: a turn, an
// inversion or a colour adjustment.
//
// An edit that its opposite undoes exactly (a quarter turn, an inversion of
// 32-bit RGB pixels) keeps no copy of the pixels; any other keeps the image
// as it was before, which costs no memory as long as nothing else changes
// it (images are shared until written to). Colour adjustments in a row make
// one command: the panel's "Show" is pressed again and again while the
// colours are tried, and Undo goes back to before the trying.

#include <QImage>
#include <QUndoCommand>

// The colour offsets an adjustment applies (each subtracted from its
// channel, all from every channel).
struct ColourOffsets
{
    int red = 0;
    int green = 0;
    int blue = 0;
    int all = 0;

    bool isZero() const { return red == 0 && green == 0 && blue == 0 && all == 0; }
    bool operator==(const ColourOffsets &o) const
    {
        return red == o.red && green == o.green && blue == o.blue && all == o.all;
    }
};

class PhotoEdit : public QUndoCommand
{
public:
    // What an edit changes: the photo's image and the offsets last applied.
    struct Target
    {
        QImage *image = nullptr;
        ColourOffsets *offsets = nullptr;
    };

    // A turn by angle degrees, clockwise on screen.
    static PhotoEdit *turn(const Target &target, double angle);
    // Every colour inverted.
    static PhotoEdit *invert(const Target &target);
    // The offsets applied to base (the photo as read from its file), which
    // drops the edits made since.
    static PhotoEdit *adjust(const Target &target, const QImage &base, const ColourOffsets &offsets);

    void redo() override;
    void undo() override;
    int id() const override;
    bool mergeWith(const QUndoCommand *other) override;

    // The quarter turns clockwise (0..3) this edit makes when turning is all
    // it does; -1 for any other edit.
    int quarterTurns() const;

private:
    enum class Kind { Turn, Invert, Adjust };
    PhotoEdit(Kind kind, const Target &target, const QString &text);
    // The image this edit makes of before.
    QImage applied(QImage before) const;
    // Whether the opposite edit gives before back exactly.
    bool undoneByOpposite(const QImage &before) const;

    const Kind mKind;
    const Target mTarget;
    double mAngle = 0;
    QImage mBase;             // an adjustment's starting point
    ColourOffsets mOffsets;   // an adjustment's offsets
    ColourOffsets mOffsetsBefore;
    QImage mBefore;           // kept where the opposite edit cannot undo exactly
    bool mDone = false;       // redone at least once
};

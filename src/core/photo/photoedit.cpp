#include "core/photo/photoedit.h"

#include "core/photo/imageedits.h"

#include <QCoreApplication>

#include <cmath>
#include <utility>

namespace {

// The id that lets adjustments in a row merge.
constexpr int kAdjustId = 1;

// The quarter turns (0..3) of an angle that is a whole number of them, else -1.
int quarterTurnsOf(double angle)
{
    const double quarters = angle / 90.0;
    if (quarters != std::floor(quarters) || std::abs(quarters) >= 1e6)
        return -1;
    return (int(quarters) % 4 + 4) % 4;
}

bool hasColourTable(QImage::Format f)
{
    return f == QImage::Format_Mono || f == QImage::Format_MonoLSB || f == QImage::Format_Indexed8;
}

QString tr(const char *text)
{
    return QCoreApplication::translate("PhotoEdit", text);
}

} // namespace

PhotoEdit::PhotoEdit(Kind kind, const Target &target, const QString &text) : mKind(kind), mTarget(target)
{
    setText(text);
}

PhotoEdit *PhotoEdit::turn(const Target &target, double angle)
{
    const int quarters = quarterTurnsOf(angle);
    auto *edit = new PhotoEdit(Kind::Turn, target,
                               quarters == 1   ? tr("Rotate Right")
                               : quarters == 3 ? tr("Rotate Left")
                                               : tr("Rotate"));
    edit->mAngle = angle;
    return edit;
}

PhotoEdit *PhotoEdit::invert(const Target &target)
{
    return new PhotoEdit(Kind::Invert, target, tr("Invert Colours"));
}

PhotoEdit *PhotoEdit::adjust(const Target &target, const QImage &base, const ColourOffsets &offsets)
{
    auto *edit = new PhotoEdit(Kind::Adjust, target, tr("Adjust Colours"));
    edit->mBase = base;
    edit->mOffsets = offsets;
    return edit;
}

int PhotoEdit::quarterTurns() const
{
    return mKind == Kind::Turn ? quarterTurnsOf(mAngle) : -1;
}

QImage PhotoEdit::applied(QImage before) const
{
    switch (mKind) {
    case Kind::Turn:
        return imageedits::rotated(std::move(before), mAngle);
    case Kind::Invert:
        return imageedits::inverted(std::move(before));
    case Kind::Adjust:
        break;
    }
    // All four at zero give the photo back as it was read.
    return mOffsets.isZero() ? mBase : imageedits::adjusted(mBase, mOffsets.red, mOffsets.green, mOffsets.blue,
                                                            mOffsets.all);
}

bool PhotoEdit::undoneByOpposite(const QImage &before) const
{
    switch (mKind) {
    case Kind::Turn:
        // A quarter turn moves pixels without touching them; a colour table
        // is turned into 32 bits first, which no turn back undoes.
        return quarterTurnsOf(mAngle) >= 0 && !hasColourTable(before.format());
    case Kind::Invert:
        // 255 - (255 - v) is v, and the result is 32-bit RGB again.
        return before.format() == QImage::Format_RGB32;
    case Kind::Adjust:
        break;
    }
    return false;
}

void PhotoEdit::redo()
{
    QImage &image = *mTarget.image;
    if (!mDone) {
        mDone = true;
        mOffsetsBefore = *mTarget.offsets;
        if (!undoneByOpposite(image))
            mBefore = image;
    }
    if (mKind == Kind::Adjust)
        *mTarget.offsets = mOffsets;
    // Moved in when nothing else holds it: the edit works in place.
    image = applied(std::move(image));
}

void PhotoEdit::undo()
{
    QImage &image = *mTarget.image;
    *mTarget.offsets = mOffsetsBefore;
    if (!mBefore.isNull() || mKind == Kind::Adjust) {
        image = mBefore;
        return;
    }
    if (mKind == Kind::Turn)
        image = imageedits::rotated(std::move(image), -mAngle);
    else
        image = imageedits::inverted(std::move(image));
}

int PhotoEdit::id() const
{
    return mKind == Kind::Adjust ? kAdjustId : -1;
}

bool PhotoEdit::mergeWith(const QUndoCommand *other)
{
    const auto *next = dynamic_cast<const PhotoEdit *>(other);
    if (!next || next->mKind != Kind::Adjust || mKind != Kind::Adjust)
        return false;
    // Undo goes back to before the first of the row; redo makes the last.
    mBase = next->mBase;
    mOffsets = next->mOffsets;
    return true;
}

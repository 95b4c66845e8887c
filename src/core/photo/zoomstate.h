#pragma once
// How large an image window shows its photo: fitted to the window (the
// default, and what a window returns to with Ctrl+0), or at a scale of its
// own (screen pixels per image pixel; 1 is 100 %, the photo's pixels one to
// one). Zooming steps through a fixed list of scales, so that a photo looked
// at twice at "200 %" looks the same; a step that would go below the fitted
// size goes back to fitting, since nothing smaller shows anything more.

#include <QString>

class ZoomState
{
public:
    static constexpr double kMin = 1.0 / 8;
    static constexpr double kMax = 8;

    bool isFit() const { return mFit; }
    // Screen pixels per image pixel now: the fitted scale while fitting.
    double scale() const { return mFit ? mFitScale : mScale; }
    double fitScale() const { return mFitScale; }

    // What fitting means now (the window or the photo changed size).
    void setFitScale(double scale);
    void fit() { mFit = true; }
    // A scale of its own, held within kMin..kMax.
    void setScale(double scale);
    // The next scale of the list above or below the one shown; false when
    // there is none (at kMax, or fitting and nothing lies below it).
    bool zoomIn();
    bool zoomOut();

    // As the status bar shows it: "Zoom 100 %", "Zoom fit (23 %)".
    QString text() const;

private:
    bool mFit = true;
    double mFitScale = 1;
    double mScale = 1;
};

#include "app/transcript_pace.h"

#include "app/clock.h"

#include <algorithm>

namespace app {

void TranscriptPace::Configure(const Settings& settings) noexcept { settings_ = settings; }

size_t TranscriptPace::PartChars() const noexcept {
    // Every append costs the control a pass over all it holds before it adds
    // anything, so appends are as long as the window can afford: once
    // paints are dear, as long as one paint (both walk the control's
    // lines), so the window answers within about a paint either way.
    const double paint = NextPaintMs();
    const double ms = paint > settings_.costlyPaintMs ? paint : settings_.partMs;
    const double chars = charsPerMs_ * ms;
    if (chars >= static_cast<double>(settings_.maxPartChars)) return settings_.maxPartChars;
    return std::min(settings_.maxPartChars, std::max(settings_.minPartChars, static_cast<size_t>(chars)));
}

void TranscriptPace::BeforeAppend(HWND edit) noexcept {
    // A paint pending before our append is someone else's (the window was
    // uncovered, the reader scrolled): it is never held back.
    othersPaint_ = GetUpdateRect(edit, nullptr, FALSE) != FALSE;
    appendStartedAt_ = NowMs();
}

bool TranscriptPace::AfterAppend(HWND edit, size_t chars, bool more) noexcept {
    const double now = NowMs();
    appendEndedAt_ = now;
    heldChars_ = static_cast<double>(GetWindowTextLengthW(edit));
    // Only a full part tells the rate: a small one is mostly the walk to
    // the end of the text.
    if (chars >= PartChars() / 2) {
        const double rate = static_cast<double>(chars) / std::max(now - appendStartedAt_, 0.01);
        // Smoothed, and never more than four times up or down at once: one
        // append slowed by something else does not make the next one tiny.
        charsPerMs_ = (charsPerMs_ + std::clamp(rate, charsPerMs_ / 4, charsPerMs_ * 4)) / 2;
    }
    if (!more && now - lastPaintAt_ >= PaintGapMs()) {
        // The end of the text, and a paint is due anyway: the control paints
        // as it always does, as soon as nothing else waits.
        if (paintOwed_) InvalidateRect(edit, nullptr, TRUE);
        paintOwed_ = false;
        lastPaintAt_ = now;
        return false;
    }
    if (!othersPaint_) ValidateRect(edit, nullptr);
    paintOwed_ = true;
    return !more;
}

double TranscriptPace::NextPaintMs() const noexcept {
    // Only what a paint costs beyond drawing one screenful grows with the
    // text: a quick paint of a short text tells little of a long one. A
    // screenful takes some milliseconds to draw, whatever the text holds.
    constexpr double ScreenMs = 10;
    if (paintedChars_ <= 0 || heldChars_ <= paintedChars_ || paintMs_ <= ScreenMs) return paintMs_;
    return paintMs_ + (paintMs_ - ScreenMs) * (heldChars_ / paintedChars_ - 1);
}

double TranscriptPace::PaintGapMs() const noexcept {
    // Paints take at most their share of the time; while they are cheap,
    // the shown text lags no more than showWithinMs behind. Once painting
    // all the text costs more than its share of the time the text took to
    // come, a flood is painted only when it goes quiet.
    const double share = std::clamp(settings_.paintShare, 1e-6, 1.0);
    const double paint = NextPaintMs();
    return std::max(paint * (1 - share) / share, settings_.showWithinMs - paint);
}

bool TranscriptPace::PaintDue() const noexcept { return paintOwed_ && NowMs() - lastPaintAt_ >= PaintGapMs(); }

void TranscriptPace::PaintNow(HWND edit) noexcept {
    InvalidateRect(edit, nullptr, TRUE);
    const double start = NowMs();
    UpdateWindow(edit);
    lastPaintAt_ = NowMs();
    paintMs_ = lastPaintAt_ - start;
    paintedChars_ = heldChars_ = static_cast<double>(GetWindowTextLengthW(edit));
    paintOwed_ = false;
}

bool TranscriptPace::QuietDue() const noexcept {
    return paintOwed_ && NowMs() - appendEndedAt_ >= settings_.quietMs;
}

void TranscriptPace::Quiet(HWND edit) noexcept {
    if (paintOwed_) PaintNow(edit);
}

}  // namespace app

// The label: drawing, measuring and ellipsizing its text, and its tooltip.
#include "ui/kit/Label.h"

#include "ui/kit/Form.h"
#include "ui/kit/FormToolTip.h"
#include "ui/kit/PaintGuards.h"

namespace vorlane::ui {

void Label::create(Surface& container, const DesignRect& rect, std::wstring caption, FontRole font, COLORREF color,
                   Align align) {
    place(container, rect);
    caption_ = std::move(caption);
    font_ = font;
    color_ = color;
    align_ = align;
    ellipsis_ = Ellipsis::None;
    container.add(*this);
}

void Label::setCaption(const std::wstring& caption) {
    caption_ = caption;
    applyGeometry();
}

void Label::setForeColor(COLORREF color) {
    color_ = color;
    applyGeometry();
}

namespace {
// Wrapped at the words; a run of characters longer than a line (an address, the
// server's words quoted in a notice) is broken too rather than cut off at the
// right edge, and a line that would show only in part is left out.
constexpr UINT kLabelFormat = DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX | DT_EXPANDTABS;
constexpr UINT kOneLineFormat = DT_SINGLELINE | DT_NOPREFIX;

// text on one line, ellipsized as format says to width when it is wider.
std::wstring ellipsized(HDC dc, const std::wstring& text, int width, UINT format) {
    std::wstring buffer = text + std::wstring(5, L'\0');  // room for the ellipsis and the NUL
    RECT box{0, 0, width, 0};
    DrawTextW(dc, buffer.data(), -1, &box, kOneLineFormat | format | DT_MODIFYSTRING | DT_CALCRECT);
    buffer.resize(buffer.find(L'\0'));
    return buffer;
}

}  // namespace

void Label::paint(HDC dc, const RECT& rect, UINT dpi) const {
    const SelectedObject font(dc, skinFont(font_, dpi));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, enabled_ ? color_ : colors::kMutedText);
    UINT format = ellipsis_ == Ellipsis::None ? kLabelFormat : kOneLineFormat;
    if (align_ == Align::Center) format |= DT_CENTER;
    if (align_ == Align::Right) format |= DT_RIGHT;
    const std::wstring text = ellipsis_ == Ellipsis::None ? caption_ : ellipsizedCaption(dc, dpi);
    RECT box = rect;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box, format);
}

SIZE Label::textSize(const std::wstring& text, UINT dpi) const {
    const MeasuringDC dc(skinFont(font_, dpi));
    RECT box{0, 0, widthAt(dpi), 0};
    const UINT format = ellipsis_ == Ellipsis::None ? kLabelFormat : kOneLineFormat;
    DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &box, format | DT_CALCRECT);
    return {box.right - box.left, box.bottom - box.top};
}

int Label::widthAt(UINT dpi) const { return scaled(rect_.left + rect_.width, dpi) - scaled(rect_.left, dpi); }

void Label::setEllipsis(Ellipsis ellipsis) {
    ellipsis_ = ellipsis;
    applyGeometry();
}

std::wstring Label::shownText(UINT dpi) const {
    if (ellipsis_ == Ellipsis::None) return caption_;
    const MeasuringDC dc(skinFont(font_, dpi));
    return ellipsizedCaption(dc.get(), dpi);
}

std::wstring Label::ellipsizedCaption(HDC dc, UINT dpi) const {
    const int width = widthAt(dpi);
    if (ellipsis_ == Ellipsis::End) return ellipsized(dc, caption_, width, DT_END_ELLIPSIS);
    // The ellipsis goes before the last part of the path; an address ending in a
    // slash ("/favorites/") keeps that part, not only the slash.
    if (caption_.size() < 2 || caption_.back() != L'/') return ellipsized(dc, caption_, width, DT_PATH_ELLIPSIS);
    SIZE slash{};
    GetTextExtentPoint32W(dc, L"/", 1, &slash);
    const std::wstring head = caption_.substr(0, caption_.size() - 1);
    return ellipsized(dc, head, width - slash.cx, DT_PATH_ELLIPSIS) + L'/';
}

void Label::applyGeometry() {
    Control::applyGeometry();
    updateToolTip();
}

void Label::updateToolTip() {
    if (ellipsis_ == Ellipsis::None || !container_ || !container_->surfaceWindow()) return;
    const FormToolTip tip(form().hwnd());
    const auto id = reinterpret_cast<UINT_PTR>(this);
    if (visible_ && shownText(form().dpi()) != caption_)
        tip.set(container_->surfaceWindow(), id, deviceRect(), caption_, form().dpi());
    else
        tip.remove(container_->surfaceWindow(), id);
}

std::wstring Label::toolTipText() const {
    if (!container_ || !container_->surfaceWindow()) return {};
    return FormToolTip(form().hwnd()).text(container_->surfaceWindow(), reinterpret_cast<UINT_PTR>(this),
                                           caption_.size());
}

}  // namespace vorlane::ui

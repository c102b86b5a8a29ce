// The label: a windowless text, wrapped at its width or kept to one line with an
// ellipsis and a tooltip that holds the whole text.
#pragma once

#include <windows.h>

#include <string>

#include "ui/kit/Control.h"
#include "ui/kit/Skin.h"

namespace vorlane::ui {

enum class Align { Left, Center, Right };

// How a label of one line shows a text wider than itself: cut at its end with an
// ellipsis (a name), or in its middle, keeping the last part of a path or address.
enum class Ellipsis { None, End, Path };

class Label : public Windowless {
public:
    void create(Surface& container, const DesignRect& rect, std::wstring caption, FontRole font = FontRole::Body,
                COLORREF color = colors::kText, Align align = Align::Left);
    const std::wstring& Caption() const { return caption_; }
    void setCaption(const std::wstring& caption);
    FontRole font() const { return font_; }
    // The size text takes when drawn as the label lays it out at dpi: wrapped at
    // the words to the label's width, or wider where one word is; on one line,
    // whole, for a label that ellipsizes.
    SIZE textSize(const std::wstring& text, UINT dpi) const;
    void setForeColor(COLORREF color);
    void paint(HDC dc, const RECT& rect, UINT dpi) const override;

    // A label that ellipsizes keeps to one line; while its caption is cut, a
    // tooltip on the label holds the whole of it, in lines that stay on the screen.
    void setEllipsis(Ellipsis ellipsis);
    // The caption as the label shows it at dpi: whole, or ellipsized to its width.
    std::wstring shownText(UINT dpi) const;
    // The whole text the label's tooltip holds: the caption while it is cut,
    // else empty (the label has no tooltip then).
    std::wstring toolTipText() const;

protected:
    void applyGeometry() override;

private:
    int widthAt(UINT dpi) const;  // device pixels
    // The caption ellipsized to the label's width, measured in dc (the label's
    // font selected).
    std::wstring ellipsizedCaption(HDC dc, UINT dpi) const;
    void updateToolTip();

    std::wstring caption_;
    FontRole font_ = FontRole::Body;
    COLORREF color_ = colors::kText;
    Align align_ = Align::Left;
    Ellipsis ellipsis_ = Ellipsis::None;
};

}  // namespace vorlane::ui

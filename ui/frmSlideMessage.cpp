// The notification window: its slide, the notices and the error reports.
#include "ui/frmSlideMessage.h"

#include "core/Convert.h"
#include "core/modMisc.h"
#include "core/ServiceHosts.h"
#include "core/Trap.h"

namespace vorlane::ui {

namespace {

constexpr int kWidth = 380;  // the longest notice in six lines at 100 % and 150 %
constexpr int kFullHeight = 124;  // design pixels: the window's height when fully up

constexpr const wchar_t* kNetworkNotice =
    L"Network Error!\r\nCould not connect to the Quorvex servers.  Please check your internet connection.";

}  // namespace

FrmSlideMessage::FrmSlideMessage()
    : Form(L"frmSlideMessage", L"Vorlane Slide Up Message", kWidth, kFullHeight, FormStyle{true, true}) {}

FrmSlideMessage& frmSlideMessage() { return loadedForm<FrmSlideMessage>(); }

void FrmSlideMessage::createControls() {
    imgWatermarkBg.create(*this, {0, 0, kWidth, kFullHeight}, Art::SlideWatermark);
    imgHeaderBg.create(*this, {0, 0, kWidth, 26}, Art::SlideHeaderStrip);
    lblTitle.create(*this, {10, 6, kWidth - 44, 16}, L"Vorlane Wallpaper Manager", FontRole::Title,
                    colors::kHeaderText);
    lblStatusMsg.create(*this, {10, 32, kWidth - 20, kFullHeight - 36}, L"Loading...");
    picCloseX.create(*this, {kWidth - 24, 4, 17, 17}, Art::CloseBox);
    picCloseX.setMousePointer(MousePointer::Custom);
    picCloseX.Click = [this] { picCloseX_Click(); };
    tmrSlide.create(*this, 2, false);
    tmrSlide.Tick = [this] { tmrSlide_Timer(); };
}

void FrmSlideMessage::Form_Load() {
    // Placed below the screen before it is shown, so it never flashes elsewhere.
    setTop(screenHeight());
    setLeft(screenWidth() - Width() - static_cast<float>(twipsPerPixelX()));
    setAlwaysOnTop(hwnd(), true);
    taskbarTwips = toInt16(getTaskbarHeight() * twipsPerPixelY());
    travelTwips = toInt16(scaled(kFullHeight, dpi()) * twipsPerPixelY());
    slideDuration = 100;
    slidePhase = kRising;
    slideTicks = 0;
    startSlide(kNetworkNotice);
}

void FrmSlideMessage::startSlide(const std::wstring& message) {
    lblStatusMsg.setCaption(message);
    tmrSlide.setEnabled(true);
}

void FrmSlideMessage::slideSysError(const std::wstring& where, int32_t errNo, const std::wstring& errDescr) {
    lblTitle.setCaption(L"Vorlane - Internal Error");
    startSlide(L"In " + where + L"\r\n[" + std::to_wstring(errNo) + L"] " + errDescr +
               L"\r\nIf this continues to happen, please reinstall Vorlane from " +
               programPageAddress());
}

void FrmSlideMessage::clipAboveTaskbar() {
    const float height = screenHeight() - Top() - taskbarTwips;
    setHeight(height >= 0 ? height : 0.0f);
}

void FrmSlideMessage::tmrSlide_Timer() {
    if (slideTicks < INT16_MAX) ++slideTicks;
    clipAboveTaskbar();
    const double elapsed = static_cast<double>(slideTicks) * tmrSlide.Interval();
    const double span = static_cast<double>(travelTwips) + taskbarTwips;
    const double screen = screenHeight();
    switch (slidePhase) {
    case kRising:
        if (elapsed >= slideDuration) {
            setTop(static_cast<float>(screen - span));
            slideTicks = 0;
            slidePhase = kHolding;
        } else {
            setTop(static_cast<float>(screen - (elapsed / slideDuration) * span));
        }
        break;
    case kHolding:
        if (elapsed >= 15.0 * slideDuration) {
            slideTicks = 0;
            slidePhase = kSinking;
        }
        break;
    case kSinking:
        if (elapsed >= slideDuration) {
            setTop(static_cast<float>(screen + span));
            Unload();
            return;
        }
        setTop(static_cast<float>(screen - (span - (elapsed / slideDuration) * span)));
        break;
    default:
        break;
    }
    clipAboveTaskbar();
}

void FrmSlideMessage::picCloseX_Click() {
    tmrSlide.setEnabled(false);
    Unload();
}

void installErrorReporter() {
    setErrorReporter([](const std::wstring& where, int32_t number, const std::wstring& description) {
        frmSlideMessage().slideSysError(where, number, description);
    });
}

void showNotice(const std::wstring& title, const std::wstring& text) {
    FrmSlideMessage& slide = frmSlideMessage();
    slide.lblTitle.setCaption(title);
    slide.startSlide(text);
}

}  // namespace vorlane::ui

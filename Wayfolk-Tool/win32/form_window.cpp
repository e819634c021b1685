#include "form_window.h"

#include "resources.h"

#include <commctrl.h>

#include <algorithm>
#include <iterator>

namespace wayfolk::win32 {

namespace {

constexpr wchar_t kFormClass[] = L"WayfolkToolForm1";
constexpr UINT kPostedMessage = WM_APP + 1;
constexpr UINT_PTR kTickTimer = 1;
constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr int kComboListPixels = 200;  // the open list below a drop-down combo box

bool isFocusable(Kind kind)
{
    switch (kind) {
    case Kind::CheckBox:
    case Kind::GreyCheckBox:
    case Kind::Option:
    case Kind::TextBox:
    case Kind::ComboBox:
    case Kind::Command: return true;
    default: return false;
    }
}

HBITMAP loadBitmap(HINSTANCE instance, int id)
{
    return static_cast<HBITMAP>(LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

HFONT makeFont(const wchar_t *face, int hundredthsOfPoints, int dpi)
{
    return CreateFontW(-MulDiv(hundredthsOfPoints, dpi, 7200), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_SWISS, face);
}

// The family of the font file that really draws a font (a system may draw a
// face it lacks with another one).
std::wstring drawnFamily(HDC dc)
{
    const UINT size = GetOutlineTextMetricsW(dc, 0, nullptr);
    if (size == 0) return {};
    std::vector<char> buffer(size);
    auto *metrics = reinterpret_cast<OUTLINETEXTMETRICW *>(buffer.data());
    if (GetOutlineTextMetricsW(dc, size, metrics) == 0) return {};
    return reinterpret_cast<const wchar_t *>(buffer.data() + reinterpret_cast<uintptr_t>(metrics->otmpFamilyName));
}

// The window's font: Tahoma 8 points where the system has it; else (a system
// that draws Tahoma with a wider face) a condensed face of the same height,
// so that the longest caption fits its place.
HFONT pickWindowFont(int dpi)
{
    const wchar_t longest[] = L"Minimal Geschwindigkeit:";
    const int room = MulDiv(1815, dpi, 1440);
    for (const wchar_t *face : {L"Tahoma", L"DejaVu Sans Condensed", L"Liberation Sans Narrow", L"Arial Narrow"}) {
        HFONT font = makeFont(face, 800, dpi);
        HDC screen = GetDC(nullptr);
        HGDIOBJ old = SelectObject(screen, font);
        const std::wstring family = drawnFamily(screen);
        SIZE extent{};
        GetTextExtentPoint32W(screen, longest, static_cast<int>(std::size(longest)) - 1, &extent);
        SelectObject(screen, old);
        ReleaseDC(nullptr, screen);
        if (family.starts_with(face) || (std::wstring_view(face) != L"Tahoma" && extent.cx <= room)) return font;
        DeleteObject(font);
    }
    return makeFont(L"Tahoma", 800, dpi);
}

// Children of a frame lie above it; within one container the table's order
// is the stacking order, topmost first.
void appendStackOrder(ControlId container, std::vector<ControlId> &order)
{
    for (const ControlPlace &place : controlTable()) {
        if (place.container != container) continue;
        if (place.kind == Kind::Frame) appendStackOrder(place.id, order);
        order.push_back(place.id);
    }
}

}  // namespace

FormWindow::~FormWindow()
{
    destroy();
    for (HGDIOBJ object :
         {static_cast<HGDIOBJ>(font_), static_cast<HGDIOBJ>(folderFont_), static_cast<HGDIOBJ>(windowBrush_),
          static_cast<HGDIOBJ>(faces_.released), static_cast<HGDIOBJ>(faces_.pressed), static_cast<HGDIOBJ>(photo_)})
        if (object != nullptr) DeleteObject(object);
}

int FormWindow::pixels(int twips) const { return MulDiv(twips, dpi_, 1440); }

bool FormWindow::create(HINSTANCE instance, int show, FormEvents events)
{
    instance_ = instance;
    events_ = std::move(events);

    INITCOMMONCONTROLSEX common{sizeof common, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&common);
    if (!registerPictureButtonClass(instance)) return false;

    WNDCLASSEXW formClass{};
    formClass.cbSize = sizeof formClass;
    formClass.lpfnWndProc = windowProc;
    formClass.hInstance = instance;
    formClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_WAYFOLK_TOOL));
    formClass.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_WAYFOLK_TOOL), IMAGE_ICON,
                                                      GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    formClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    formClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    formClass.lpszClassName = kFormClass;
    if (RegisterClassExW(&formClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;

    HDC screen = GetDC(nullptr);
    dpi_ = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    if (dpi_ < 96) dpi_ = 96;

    font_ = pickWindowFont(dpi_);
    folderFont_ = makeFont(L"Tahoma", 825, dpi_);
    windowBrush_ = CreateSolidBrush(GetSysColor(COLOR_WINDOW));
    faces_.released = loadBitmap(instance, IDB_BUTTON_RELEASED);
    faces_.pressed = loadBitmap(instance, IDB_BUTTON_PRESSED);
    photo_ = loadBitmap(instance, IDB_DEVICE_PHOTO);

    RECT frame{0, 0, pixels(kClientTwipsWidth), pixels(kClientTwipsHeight)};
    AdjustWindowRectEx(&frame, kFormStyle, FALSE, 0);
    window_ = CreateWindowExW(0, kFormClass, kWindowTitle, kFormStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                              frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance, this);
    if (window_ == nullptr) return false;
    createControls();
    ShowWindow(window_, show);
    UpdateWindow(window_);
    moveFocus(false);
    return true;
}

void FormWindow::destroy()
{
    if (window_ != nullptr) DestroyWindow(window_);
}

HWND FormWindow::createControl(const ControlPlace &place)
{
    const TwipsPoint origin = windowOrigin(place.id);
    int x = pixels(origin.x);
    int y = pixels(origin.y);
    int width = pixels(place.width);
    int height = pixels(place.height);
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | (place.hidden ? 0 : WS_VISIBLE) | (place.disabled ? WS_DISABLED : 0);
    DWORD extended = 0;
    const wchar_t *windowClass = L"STATIC";
    LPVOID parameter = nullptr;
    switch (place.kind) {
    case Kind::Frame:
        windowClass = L"BUTTON";
        style |= BS_GROUPBOX;
        break;
    case Kind::Label:
    case Kind::WindowLabel: style |= SS_NOPREFIX | (height >= 24 ? SS_LEFT : SS_LEFTNOWORDWRAP | SS_CENTERIMAGE); break;
    case Kind::CheckBox:
        windowClass = L"BUTTON";
        style |= BS_AUTOCHECKBOX | BS_MULTILINE | BS_VCENTER | WS_TABSTOP;
        break;
    case Kind::GreyCheckBox:
        windowClass = L"BUTTON";
        style |= BS_AUTO3STATE | WS_TABSTOP;
        break;
    case Kind::Option:
        windowClass = L"BUTTON";
        style |= BS_AUTORADIOBUTTON | WS_TABSTOP;
        break;
    case Kind::TextBox:
        windowClass = L"EDIT";
        style |= ES_AUTOHSCROLL | WS_TABSTOP;
        extended |= WS_EX_CLIENTEDGE;
        break;
    case Kind::ComboBox:
        windowClass = L"COMBOBOX";
        style |= CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP;
        height += pixels(kComboListPixels * 15);
        break;
    case Kind::Command:
        windowClass = L"BUTTON";
        style |= BS_PUSHBUTTON | BS_MULTILINE | BS_NOTIFY | WS_TABSTOP;
        break;
    case Kind::PictureButton: {
        windowClass = kPictureButtonClass;
        const CaptionPlace &caption = place.captionPlace;
        pictureSetups_.push_back(PictureButtonSetup{&faces_, RECT{pixels(caption.left), pixels(caption.top),
                                                                  pixels(caption.left + caption.width),
                                                                  pixels(caption.top + caption.height)}});
        parameter = &pictureSetups_.back();
        break;
    }
    case Kind::Picture: style |= SS_BITMAP | SS_REALSIZECONTROL; break;
    case Kind::StatusText: style |= SS_LEFT | SS_NOPREFIX; break;
    case Kind::StatusBar:
        windowClass = PROGRESS_CLASSW;
        style |= PBS_SMOOTH;
        break;
    }
    HWND control = CreateWindowExW(extended, windowClass, place.caption, style, x, y, width, height, window_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstId + static_cast<int>(place.id))),
                                   instance_, parameter);
    if (control == nullptr) return nullptr;
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(place.id == ControlId::Text1 ? folderFont_ : font_),
                 FALSE);
    if (place.kind == Kind::GreyCheckBox) SendMessageW(control, BM_SETCHECK, BST_INDETERMINATE, 0);
    return control;
}

void FormWindow::createControls()
{
    // Every picture button keeps a pointer into pictureSetups_.
    pictureSetups_.reserve(kControlCount);
    for (const ControlPlace &place : controlTable()) controls_[static_cast<size_t>(place.id)] = createControl(place);

    auto setImage = [this](ControlId id, HBITMAP image) {
        if (control(id) != nullptr && image != nullptr)
            SendMessageW(control(id), STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(image));
    };
    setImage(ControlId::Picture1, photo_);
    setImage(ControlId::Picture3, faces_.pressed);
    setImage(ControlId::Picture4, faces_.released);
    // The commands behind "Log Auslesen", "Wayfolk leeren" and "Einst.
    // Speichern" are not offered until a connection.
    for (ControlId id : {ControlId::Picture6, ControlId::Picture9, ControlId::Picture2}) setOffered(id, false);

    stackControls();
    addToolTips();
}

void FormWindow::stackControls()
{
    std::vector<ControlId> order;
    appendStackOrder(ControlId::None, order);
    HWND above = HWND_TOP;
    for (ControlId id : order) {
        HWND child = control(id);
        if (child == nullptr) continue;
        SetWindowPos(child, above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        above = child;
    }
}

void FormWindow::addToolTips()
{
    toolTips_ =
        CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, instance_, nullptr);
    if (toolTips_ == nullptr) return;
    SendMessageW(toolTips_, TTM_SETMAXTIPWIDTH, 0, pixels(300 * 15));
    for (const ControlPlace &place : controlTable()) {
        if (place.toolTip == nullptr || control(place.id) == nullptr) continue;
        TOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = window_;
        tool.uId = reinterpret_cast<UINT_PTR>(control(place.id));
        tool.lpszText = const_cast<wchar_t *>(place.toolTip);
        SendMessageW(toolTips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void FormWindow::moveFocus(bool backwards)
{
    std::vector<const ControlPlace *> order;
    for (const ControlPlace &place : controlTable())
        if (place.tabIndex >= 0 && isFocusable(place.kind)) order.push_back(&place);
    std::stable_sort(order.begin(), order.end(),
                     [](const ControlPlace *a, const ControlPlace *b) { return a->tabIndex < b->tabIndex; });
    // A control that was disabled while it had the focus (a command runs)
    // left none: the walk goes on from it.
    HWND focus = GetFocus();
    if ((focus == nullptr || focus == window_) && lastFocus_ != nullptr) focus = lastFocus_;
    int current = -1;
    for (size_t i = 0; i < order.size(); ++i) {
        HWND candidate = control(order[i]->id);
        if (candidate != nullptr && (candidate == focus || IsChild(candidate, focus))) current = static_cast<int>(i);
    }
    const int count = static_cast<int>(order.size());
    for (int step = 1; step <= count; ++step) {
        int index = current < 0 ? (backwards ? count - step : step - 1)
                                : ((current + (backwards ? -step : step)) % count + count) % count;
        HWND candidate = control(order[static_cast<size_t>(index)]->id);
        if (candidate == nullptr || !IsWindowVisible(candidate) || !IsWindowEnabled(candidate)) continue;
        SetFocus(candidate);
        if (order[static_cast<size_t>(index)]->kind == Kind::TextBox) SendMessageW(candidate, EM_SETSEL, 0, -1);
        lastFocus_ = candidate;
        return;
    }
}

bool FormWindow::handleKey(const MSG &message)
{
    if (window_ == nullptr || message.message != WM_KEYDOWN || message.wParam != VK_TAB) return false;
    if (message.hwnd != window_ && !IsChild(window_, message.hwnd)) return false;
    if (message.hwnd != nullptr && GetAncestor(message.hwnd, GA_ROOT) != window_) return false;
    moveFocus(GetKeyState(VK_SHIFT) < 0);
    return true;
}

bool FormWindow::post(WPARAM wParam, LPARAM lParam) const
{
    return window_ != nullptr && PostMessageW(window_, kPostedMessage, wParam, lParam) != 0;
}

void FormWindow::setText(ControlId id, std::wstring_view text)
{
    std::wstring copy(text);
    SetWindowTextW(control(id), copy.c_str());
}

std::wstring FormWindow::text(ControlId id) const
{
    HWND child = control(id);
    const int length = GetWindowTextLengthW(child);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(child, text.data(), length + 1);
    text.resize(static_cast<size_t>(std::max(copied, 0)));
    return text;
}

void FormWindow::setEnabled(ControlId id, bool enabled) { EnableWindow(control(id), enabled ? TRUE : FALSE); }

bool FormWindow::enabled(ControlId id) const { return IsWindowEnabled(control(id)) != 0; }

void FormWindow::setVisible(ControlId id, bool visible) { ShowWindow(control(id), visible ? SW_SHOWNA : SW_HIDE); }

void FormWindow::setCheckState(ControlId id, int state)
{
    const WPARAM check = state == 1 ? BST_CHECKED : state == 2 ? BST_INDETERMINATE : BST_UNCHECKED;
    SendMessageW(control(id), BM_SETCHECK, check, 0);
}

int FormWindow::checkState(ControlId id) const
{
    const LRESULT check = SendMessageW(control(id), BM_GETCHECK, 0, 0);
    return check == BST_CHECKED ? 1 : check == BST_INDETERMINATE ? 2 : 0;
}

void FormWindow::setOffered(ControlId pictureButton, bool offered)
{
    SendMessageW(control(pictureButton), kSetOffered, offered ? TRUE : FALSE, 0);
}

void FormWindow::setToolTip(ControlId id, const std::wstring &text)
{
    std::wstring &held = toolTipTexts_[static_cast<size_t>(id)];
    if (toolTips_ == nullptr || control(id) == nullptr || held == text) return;
    held = text;  // the tool tip keeps a pointer to it
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = window_;
    tool.uId = reinterpret_cast<UINT_PTR>(control(id));
    tool.lpszText = held.data();
    SendMessageW(toolTips_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void FormWindow::setPortList(const std::vector<std::wstring> &entries)
{
    HWND combo = control(ControlId::Combo1);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (const std::wstring &entry : entries)
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
}

int FormWindow::selectedPort() const
{
    const LRESULT index = SendMessageW(control(ControlId::Combo1), CB_GETCURSEL, 0, 0);
    return index == CB_ERR ? -1 : static_cast<int>(index);
}

void FormWindow::showBar(int percent)
{
    HWND bar = control(ControlId::StatusBar);
    const LONG_PTR style = GetWindowLongPtrW(bar, GWL_STYLE);
    const bool busy = percent < 0;
    if (((style & PBS_MARQUEE) != 0) != busy) {
        SetWindowLongPtrW(bar, GWL_STYLE, busy ? (style | PBS_MARQUEE) : (style & ~static_cast<LONG_PTR>(PBS_MARQUEE)));
        SendMessageW(bar, PBM_SETMARQUEE, busy ? TRUE : FALSE, 50);
    }
    if (!busy) {
        SendMessageW(bar, PBM_SETRANGE32, 0, 100);
        SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(std::clamp(percent, 0, 100)), 0);
    }
    ShowWindow(bar, SW_SHOWNA);
}

void FormWindow::restoreFocus()
{
    HWND focus = GetFocus();
    if (focus != nullptr && focus != window_) return;
    if (GetActiveWindow() != window_ || lastFocus_ == nullptr || !IsWindow(lastFocus_)) return;
    if (IsWindowVisible(lastFocus_) && IsWindowEnabled(lastFocus_)) SetFocus(lastFocus_);
}

void FormWindow::setBusyCursor(bool busy)
{
    if (busyCursor_ == busy) return;
    busyCursor_ = busy;
    POINT at;
    GetCursorPos(&at);
    SetCursorPos(at.x, at.y);  // the cursor shape follows at once
}

void FormWindow::startTicking(UINT milliseconds) { SetTimer(window_, kTickTimer, milliseconds, nullptr); }

void FormWindow::stopTicking()
{
    if (window_ != nullptr) KillTimer(window_, kTickTimer);
}

void FormWindow::hideBar() { ShowWindow(control(ControlId::StatusBar), SW_HIDE); }

LRESULT CALLBACK FormWindow::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto *self = static_cast<FormWindow *>(reinterpret_cast<CREATESTRUCTW *>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto *self = reinterpret_cast<FormWindow *>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr || self->window_ != window) return DefWindowProcW(window, message, wParam, lParam);
    return self->handle(message, wParam, lParam);
}

LRESULT FormWindow::handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND: {
        const int index = LOWORD(wParam) - kFirstId;
        if (index < 0 || index >= kControlCount) return 0;
        const auto id = static_cast<ControlId>(index);
        switch (HIWORD(wParam)) {
        case BN_CLICKED:
            if (events_.clicked) events_.clicked(id);
            break;
        case BN_SETFOCUS:
            lastFocus_ = reinterpret_cast<HWND>(lParam);
            if (events_.focused) events_.focused(id);
            break;
        case BN_KILLFOCUS:
            if (events_.focused) events_.focused(ControlId::None);
            break;
        case EN_CHANGE:
            if (events_.edited) events_.edited(id);
            break;
        case CBN_SELCHANGE:
            if (events_.selected) events_.selected(id);
            break;
        default: break;
        }
        return 0;
    }
    case WM_SETCURSOR:
        if (busyCursor_) {
            SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32514)));  // IDC_WAIT
            return TRUE;
        }
        break;
    case WM_TIMER:
        if (wParam == kTickTimer && events_.ticked) events_.ticked();
        return 0;
    case WM_CTLCOLORSTATIC: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) - kFirstId;
        if (id >= 0 && id < kControlCount && placeOf(static_cast<ControlId>(id)).kind == Kind::WindowLabel) {
            SetBkColor(dc, GetSysColor(COLOR_WINDOW));
            SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
            return reinterpret_cast<LRESULT>(windowBrush_);
        }
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus != nullptr && IsChild(window_, focus)) lastFocus_ = focus;
        } else if (lastFocus_ != nullptr && IsWindow(lastFocus_)) {
            SetFocus(lastFocus_);
            return 0;
        }
        break;
    case kPostedMessage:
        if (events_.posted) events_.posted(wParam, lParam);
        return 0;
    case WM_CLOSE:
        if (events_.closeRequested)
            events_.closeRequested();
        else
            destroy();
        return 0;
    case WM_DESTROY:
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        toolTips_ = nullptr;  // owned by the window, destroyed with it
        window_ = nullptr;
        controls_.fill(nullptr);
        PostQuitMessage(0);
        return 0;
    default: break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

}  // namespace wayfolk::win32

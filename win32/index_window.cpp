#include "win32/index_window.h"

#include <exdisp.h>
#include <ole2.h>
#include <oleidl.h>
#include <shellapi.h>

#include "platform/log.h"
#include "shell/control_table.h"
#include "win32/dpi.h"

namespace quorvel::win32 {
namespace {

constexpr DWORD window_style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

RECT browser_rect(UINT dpi) {
    const shell::Rect at = shell::index_browser_place;
    return {scaled(at.x, dpi), scaled(at.y, dpi), scaled(at.x + at.width, dpi),
            scaled(at.y + at.height, dpi)};
}

void open_outside(const std::wstring& page) {
    ShellExecuteW(nullptr, L"open", page.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace

// The window and the smallest container the browser control accepts: a
// client site that lets it activate in place in the window, which is also
// its frame. The host is owned by IndexWindow; the control's references to
// it end when the control is closed, before the host goes.
class IndexWindow::Host : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
  public:
    Host(HINSTANCE instance) {
        static const bool registered = [instance] {
            WNDCLASSEXW kind{};
            kind.cbSize = sizeof(kind);
            kind.lpfnWndProc = &Host::procedure;
            kind.hInstance = instance;
            kind.hCursor = LoadCursorW(nullptr, IDC_ARROW);
            kind.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
            kind.lpszClassName = index_window_class;
            return RegisterClassExW(&kind) != 0;
        }();
        (void)registered;
        const shell::Rect place = shell::index_window_place;
        const RECT outer = outer_rect({0, 0, place.width, place.height}, window_style, 0, 96);
        window_ = CreateWindowExW(0, index_window_class, L"", window_style, place.x, place.y,
                                  outer.right - outer.left, outer.bottom - outer.top, nullptr,
                                  nullptr, instance, this);
        if (window_ == nullptr) {
            return;
        }
        dpi_ = dpi_of(window_);
        const RECT sized = outer_rect({0, 0, scaled(place.width, dpi_), scaled(place.height, dpi_)},
                                      window_style, 0, dpi_);
        SetWindowPos(window_, nullptr, 0, 0, sized.right - sized.left, sized.bottom - sized.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        make_browser();
        if (browser_ == nullptr) {
            DestroyWindow(window_);  // the page opens in the user's browser instead
        }
    }
    ~Host() {
        release_browser();
        if (window_ != nullptr) {
            SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
            DestroyWindow(window_);
        }
    }
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    HWND window() const { return window_; }
    bool has_browser() const { return browser_ != nullptr; }

    bool navigate(const std::wstring& address) {
        if (browser_ == nullptr) {
            return false;
        }
        BSTR url = SysAllocString(address.c_str());
        VARIANT none;
        VariantInit(&none);
        const HRESULT result = browser_->Navigate(url, &none, &none, &none, &none);
        SysFreeString(url);
        if (FAILED(result)) {
            platform::log_warning("the index window's browser could not load its page");
        }
        return SUCCEEDED(result);
    }

    // IUnknown: the host lives as long as its IndexWindow, whatever the counts.
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite)) {
            *object = static_cast<IOleClientSite*>(this);
        } else if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceSite)) {
            *object = static_cast<IOleInPlaceSite*>(this);
        } else if (IsEqualIID(iid, IID_IOleInPlaceUIWindow) ||
                   IsEqualIID(iid, IID_IOleInPlaceFrame)) {
            *object = static_cast<IOleInPlaceFrame*>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() override { return --references_; }

    // IOleClientSite
    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
        *moniker = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetContainer(IOleContainer** container) override {
        *container = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow
    STDMETHODIMP GetWindow(HWND* window) override {
        *window = window_;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                  LPRECT position, LPRECT clip,
                                  LPOLEINPLACEFRAMEINFO info) override {
        *frame = static_cast<IOleInPlaceFrame*>(this);
        AddRef();
        *document = nullptr;
        *position = browser_rect(dpi_);
        GetClientRect(window_, clip);
        info->fMDIApp = FALSE;
        info->hwndFrame = window_;
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
    STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
    STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
    STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }

    // IOleInPlaceUIWindow
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }

    // IOleInPlaceFrame
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

  private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
        if (message == WM_NCCREATE) {
            auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
            SetWindowLongPtrW(window, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* self = reinterpret_cast<Host*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self != nullptr) {
            switch (message) {
                case WM_DESTROY:
                    // Closed by the user: the browser goes with the window.
                    self->release_browser();
                    break;
                case WM_NCDESTROY:
                    self->window_ = nullptr;
                    break;
                case WM_DPICHANGED: {
                    self->dpi_ = HIWORD(wparam);
                    const auto* suggested = reinterpret_cast<const RECT*>(lparam);
                    SetWindowPos(window, nullptr, suggested->left, suggested->top,
                                 suggested->right - suggested->left,
                                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
                    self->place_browser();
                    return 0;
                }
                default:
                    break;
            }
        }
        return DefWindowProcW(window, message, wparam, lparam);
    }

    void make_browser() {
        IOleObject* object = nullptr;
        HRESULT result = CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER,
                                          IID_IOleObject, reinterpret_cast<void**>(&object));
        if (FAILED(result)) {
            platform::log_warning("no web browser control: CoCreateInstance failed, " +
                                  std::to_string(static_cast<unsigned long>(result)));
            return;
        }
        object_ = object;
        object_->SetClientSite(static_cast<IOleClientSite*>(this));
        OleSetContainedObject(object_, TRUE);
        RECT place = browser_rect(dpi_);
        result = object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr,
                                 static_cast<IOleClientSite*>(this), 0, window_, &place);
        if (SUCCEEDED(result)) {
            result = object_->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&browser_));
        }
        if (FAILED(result) || browser_ == nullptr) {
            platform::log_warning("no web browser control: it would not activate, " +
                                  std::to_string(static_cast<unsigned long>(result)));
            release_browser();
            return;
        }
        // Script errors of the page are not the user's business.
        browser_->put_Silent(VARIANT_TRUE);
        place_browser();
    }

    void place_browser() {
        if (browser_ == nullptr) {
            return;
        }
        const RECT place = browser_rect(dpi_);
        browser_->put_Left(place.left);
        browser_->put_Top(place.top);
        browser_->put_Width(place.right - place.left);
        browser_->put_Height(place.bottom - place.top);
    }

    void release_browser() {
        if (browser_ != nullptr) {
            browser_->Release();
            browser_ = nullptr;
        }
        if (object_ != nullptr) {
            object_->Close(OLECLOSE_NOSAVE);
            object_->SetClientSite(nullptr);
            object_->Release();
            object_ = nullptr;
        }
    }

    HWND window_ = nullptr;
    UINT dpi_ = 96;
    ULONG references_ = 1;
    IOleObject* object_ = nullptr;
    IWebBrowser2* browser_ = nullptr;
};

IndexWindow::IndexWindow(HINSTANCE instance, std::wstring page)
    : host_(std::make_unique<Host>(instance)), page_(std::move(page)) {
    if (host_->has_browser()) {
        host_->navigate(page_);
    }
}

IndexWindow::~IndexWindow() = default;

void IndexWindow::show() {
    if (!host_->has_browser()) {
        open_outside(page_);
        return;
    }
    ShowWindow(host_->window(), SW_SHOWNORMAL);
    SetForegroundWindow(host_->window());
}

bool IndexWindow::alive() const {
    return host_->window() != nullptr && host_->has_browser();
}

bool IndexWindow::has_browser() const {
    return host_->has_browser();
}

bool IndexWindow::navigate(const std::wstring& address) {
    return host_->navigate(address);
}

HWND IndexWindow::window() const {
    return host_->window();
}

}  // namespace quorvel::win32

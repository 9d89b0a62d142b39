#include "ui/tabbed_dialog.h"

#include <algorithm>

#include "ui/controls.h"

namespace tw {

namespace {

// The dialog is made at this position and then centred.
constexpr int kInitialLeft = 50;
constexpr int kInitialTop = 50;

}  // namespace

bool LTabbedDialog::AddPage(const std::string& label, int width, int height, PageBuilder builder) {
    if (int(pages_.size()) >= kMaxPages) return false;
    pages_.push_back(Entry{label, width, height, std::move(builder), nullptr});
    page_width_ = std::max(page_width_, width);
    page_height_ = std::max(page_height_, height);
    return true;
}

LTabbedPage* LTabbedDialog::Page(int index) const {
    if (index < 0 || index >= int(pages_.size())) return nullptr;
    return pages_[index].page.get();
}

bool LTabbedDialog::Run(NativeWindow* parent, const std::string& title) {
    title_ = title;
    if (!CreateWindow(page_width_ + kExtraWidth, page_height_ + kExtraHeight,
                      kMovableModalWindowClass,
                      kWindowStandardHandlerAttribute | kWindowCompositingAttribute, 0)) {
        return false;
    }
    SetBounds(kInitialLeft, kInitialTop, page_width_ + kExtraWidth, page_height_ + kExtraHeight);
    window->SetProperty(kPropertyParentWindow, reinterpret_cast<std::uintptr_t>(parent));
    CenterWindow();
    const bool ok = DoModal();
    // The pages' controls went with the window.
    for (Entry& entry : pages_) entry.page.reset();
    return ok;
}

void LTabbedDialog::OnInit() {
    window->SetTitle(title_);
    std::vector<const char*> labels;
    for (const Entry& entry : pages_) labels.push_back(entry.label.c_str());
    labels.push_back(nullptr);
    NativeControl* tabs = CreateTabs(this, kTabbedDialogTabs, labels.data());
    const int pw = page_width_;
    const int ph = page_height_;
    SetControlFrame(this, kTabbedDialogTabs, kMargin, kMargin, pw, ph + kTabsBelowPage - kMargin);

    if (NativeControl* help = CreateControl(this, kTabbedDialogHelp, ControlKind::kHelpButton)) {
        help->SetCommandId(kHICommandAppHelp);
        SetControlFrame(this, kTabbedDialogHelp, kHelpLeft, ph + kButtonsBelowPage, kButtonHeight,
                        kButtonHeight);
    }
    CreatePushButton(this, kTabbedDialogCancel, "Cancel", kPushButtonStyle, kHICommandCancel);
    SetControlFrame(this, kTabbedDialogCancel, pw - kCancelFromRight, ph + kButtonsBelowPage,
                    kButtonWidth, kButtonHeight);
    CreatePushButton(this, kTabbedDialogOK, "OK", kPushButtonStyle, kHICommandOK);
    SetControlFrame(this, kTabbedDialogOK, pw - kOKFromRight, ph + kButtonsBelowPage, kButtonWidth,
                    kButtonHeight);
    if (NativeControl* c = FindControl(this, kTabbedDialogCancel)) c->MakeCancelButton();
    if (NativeControl* c = FindControl(this, kTabbedDialogOK)) c->MakeDefaultButton();

    for (int i = 0; i < int(pages_.size()); ++i) {
        Entry& entry = pages_[i];
        entry.page = entry.builder ? entry.builder() : nullptr;
        if (!entry.page || tabs == nullptr) continue;
        entry.page->AttachEmbedded(this, tabs->TabsPage(i + 1));
        entry.page->OnInit();
    }
}

void LTabbedDialog::OnClose() {
    for (Entry& entry : pages_) {
        if (entry.page) entry.page->OnClose();
    }
}

bool LTabbedDialog::OnOK() {
    // Every page may refuse; the dialog then stays open.
    for (Entry& entry : pages_) {
        if (entry.page && !entry.page->OnOK()) return false;
    }
    return true;
}

void LTabbedDialog::OnHelp() {
    // The tabs control counts its pages from 1.
    const int front = GetControlValue(this, kTabbedDialogTabs) - 1;
    if (LTabbedPage* page = Page(std::clamp(front, 0, std::max(PageCount() - 1, 0)))) {
        page->OnHelp();
    }
}

void LTabbedDialog::OnCommand(std::uint32_t id, void* data) {
    for (Entry& entry : pages_) {
        if (entry.page) entry.page->DispatchCommand(id, data);
    }
}

}  // namespace tw

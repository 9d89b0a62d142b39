// A modal dialog of tabbed pages. Each page is a window object of its own whose controls
// live in its tab; it is registered with a label, a content size and a builder, and the
// dialog is as large as the largest page. OK asks every built page (OnOK), help goes to
// the page in front, and the commands of the pages' controls reach every page.
//
// Thread: main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/window.h"

namespace tw {

// Control ids of the dialog's own controls.
inline constexpr int kTabbedDialogTabs = 7000;
inline constexpr int kTabbedDialogHelp = 7001;
inline constexpr int kTabbedDialogCancel = 7002;
inline constexpr int kTabbedDialogOK = 7003;

// One page: its controls go into `content` of the host dialog (LWindow::AttachEmbedded),
// at positions relative to the page's top left.
class LTabbedPage : public LWindow {};

class LTabbedDialog : public LWindow {
  public:
    static constexpr int kMaxPages = 32;
    // Geometry around the largest page (pw x ph).
    static constexpr int kMargin = 14;            // tabs control from the window's edges
    static constexpr int kPageLeft = 14;          // page origin in the window
    static constexpr int kPageTop = 39;           // below the tab labels
    static constexpr int kExtraWidth = 28;        // window width = pw + this
    static constexpr int kExtraHeight = 99;       // window height = ph + this
    static constexpr int kTabsBelowPage = 53;     // tabs bottom = ph + this
    static constexpr int kButtonsBelowPage = 63;  // button row top = ph + this
    static constexpr int kButtonWidth = 100;
    static constexpr int kButtonHeight = 28;
    static constexpr int kCancelFromRight = 196;  // Cancel at x = pw - this
    static constexpr int kOKFromRight = 82;       // OK at x = pw - this
    static constexpr int kHelpLeft = 20;

    using PageBuilder = std::function<std::unique_ptr<LTabbedPage>()>;

    // False when the dialog already holds kMaxPages pages.
    bool AddPage(const std::string& label, int width, int height, PageBuilder builder);
    int PageCount() const { return int(pages_.size()); }
    int PageWidth() const { return page_width_; }
    int PageHeight() const { return page_height_; }
    // The built page `index`; nullptr before the dialog runs or past the pages.
    LTabbedPage* Page(int index) const;

    // Builds the dialog over `parent` and runs it modally; true when it ended with OK.
    bool Run(NativeWindow* parent, const std::string& title);

    void OnInit() override;
    void OnClose() override;
    bool OnOK() override;
    void OnHelp() override;
    void OnCommand(std::uint32_t id, void* data) override;

  private:
    struct Entry {
        std::string label;
        int width = 0;
        int height = 0;
        PageBuilder builder;
        std::unique_ptr<LTabbedPage> page;
    };
    std::vector<Entry> pages_;
    int page_width_ = 0;
    int page_height_ = 0;
    std::string title_;
};

}  // namespace tw

#include "app/update_check_dialogs.h"

#include "platform/core/open_uri.h"
#include "ui/choice_dialog.h"
#include "ui/message_box.h"
#include "ui/progress_dialog.h"
#include "web/update_check.h"

#ifndef TW_VERSION_INFO_URL
#define TW_VERSION_INFO_URL "http://www.orvanesoft.example/versions/tunewright.txt"
#endif
#ifndef TW_NEWSLETTER_PAGE
#define TW_NEWSLETTER_PAGE "https://www.orvanesoft.example/newsletter.html"
#endif
#ifndef TW_FACEBOOK_PAGE
#define TW_FACEBOOK_PAGE "https://www.facebook.com/orvanesoft"
#endif
#ifndef TW_TWITTER_PAGE
#define TW_TWITTER_PAGE "https://twitter.com/orvanesoft"
#endif

namespace tw {

namespace {

constexpr int kFollowFacebook = 5001;
constexpr int kFollowTwitter = 5002;

// The fetch runs inside the progress dialog on the main thread: every wait slice of the
// client asks IsCancelled, which also lets the dialog handle its events.
class UpdateProgress final : public LProgressDialog, public LUpdateObserver {
  public:
    explicit UpdateProgress(std::string address) : address_(std::move(address)) {}
    bool DoWork() override {
        result = FetchVersionInformation(this, address_, &info);
        return result == 0;
    }
    bool IsCancelled() override { return LProgressDialog::IsCancelled(); }
    void SetProgress(double fraction) override { LProgressDialog::SetProgress(fraction); }
    void SetStatusText(const char* text) override { SetText(text, 0); }

    int result = 2;
    VersionInformation info;

  private:
    std::string address_;
};

void FollowReleases(NativeWindow* parent) {
    LChoiceDialog follow;
    follow.parentWindow = parent;
    follow.SetCaption("Follow Releases");
    follow.text =
        "Follow Orvane Software to get automatic and instant notification of new version "
        "releases online.";
    // Google+, the first network of the list, closed in 2019: it is left out.
    follow.choices = {
        {kFollowFacebook, "Follow version updates on Facebook",
         "Select if you have a Facebook account"},
        {kFollowTwitter, "Follow version updates on Twitter",
         "Select if you have a Twitter account"},
    };
    follow.hasCancel = true;
    switch (follow.AskChoice()) {
        case kFollowFacebook:
            OpenUri(TW_FACEBOOK_PAGE);
            break;
        case kFollowTwitter:
            OpenUri(TW_TWITTER_PAGE);
            break;
        default:
            break;
    }
}

}  // namespace

std::string VersionInfoAddress() {
    return TW_VERSION_INFO_URL;
}

UpdateCheckOutcome RunUpdateCheck(NativeWindow* parent, const std::string& address) {
    UpdateProgress progress(address.empty() ? VersionInfoAddress() : address);
    progress.SetCaption("Checking for Updates");
    const bool fetched = progress.RunProgress(parent) && progress.result == 0;
    if (!fetched) {
        ShowMessage(parent,
                    "Online version information for this software is not currently available.",
                    "No Version Information");
        return UpdateCheckOutcome::kNoInformation;
    }
    if (IsNewerThanProgram(progress.info.online_version)) {
        if (AskQuestion(parent,
                        "An updated version of this software is now available for download "
                        "online. Do you want to see more information about the new version?",
                        "Updated Version Available", "View", "Cancel")) {
            // The parser accepts only http and https addresses for this.
            OpenUri(progress.info.info_address);
        }
        return UpdateCheckOutcome::kUpdateAvailable;
    }
    if (AskQuestion(parent,
                    "The current version is up-to-date.\r\n\r\nDo you want to sign up to the "
                    "Orvane version updates newsletter to receive notification of any updates "
                    "in the future including beta releases?",
                    "Version Current", "Sign Up", "No")) {
        OpenUri(TW_NEWSLETTER_PAGE);
    }
    FollowReleases(parent);
    return UpdateCheckOutcome::kCurrent;
}

}  // namespace tw

#include "platform/net/download_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <utility>

namespace tw {

namespace {

void CloseHandle(int* handle) {
    if (*handle >= 0) {
        close(*handle);
        *handle = -1;
    }
}

}  // namespace

DownloadFile::DownloadFile(std::string destination)
    : destination_(std::move(destination)), file_(destination_, 0666) {}

DownloadFile::~DownloadFile() {
    Discard();
}

bool DownloadFile::Create() {
    Discard();
    return file_.Begin();
}

bool DownloadFile::Append(const void* data, size_t size) {
    return file_.Write(data, size);
}

int DownloadFile::OpenDestination() {
    if (destination_handle_ < 0) {
        // Non-blocking so that a FIFO in the destination's place cannot hang the open.
        destination_handle_ = open(destination_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    }
    return destination_handle_;
}

bool DownloadFile::Commit() {
    const bool ok = file_.Commit();
    CloseHandle(&destination_handle_);
    return ok;
}

void DownloadFile::Discard() {
    file_.Discard();
    CloseHandle(&destination_handle_);
}

}  // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
#include "audit/outputfile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace caldrin::audit {

namespace {

std::string normalPath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return (error ? std::filesystem::path(path) : absolute).lexically_normal().string();
}

bool writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

std::string failure(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

std::string writeDirectly(const std::string& path, std::string_view text) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return std::strerror(errno);
    const bool written = writeAll(fd, text);
    const int savedErrno = errno;
    if (::close(fd) != 0 || !written) {
        errno = written ? errno : savedErrno;
        return std::strerror(errno);
    }
    return {};
}

} // namespace

bool namesAnInput(const std::string& output, const std::vector<std::string>& inputs) {
    struct stat target {};
    const bool outputExists = ::stat(output.c_str(), &target) == 0;
    const std::string outputPath = normalPath(output);
    for (const std::string& input : inputs) {
        struct stat source {};
        if (outputExists && ::stat(input.c_str(), &source) == 0) {
            if (source.st_dev == target.st_dev && source.st_ino == target.st_ino)
                return true;
        } else if (normalPath(input) == outputPath) {
            return true;
        }
    }
    return false;
}

std::string writeWholeFile(const std::string& path, std::string_view text) {
    struct stat existing {};
    const bool exists = ::stat(path.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode))
        return writeDirectly(path, text);

    const std::filesystem::path target(path);
    std::string hiddenName(".");
    hiddenName.append(target.filename().string()).append(".XXXXXX");
    std::string temporary = (target.parent_path() / hiddenName).string();
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return failure("cannot create a file beside it");
    mode_t mode = existing.st_mode & 07777;
    if (!exists) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    std::string problem;
    if (::fchmod(fd, mode) != 0 || !writeAll(fd, text) || ::fsync(fd) != 0)
        problem = std::strerror(errno);
    if (::close(fd) != 0 && problem.empty())
        problem = std::strerror(errno);
    if (problem.empty() && ::rename(temporary.c_str(), path.c_str()) != 0)
        problem = std::strerror(errno);
    if (!problem.empty())
        ::unlink(temporary.c_str());
    return problem;
}

} // namespace caldrin::audit

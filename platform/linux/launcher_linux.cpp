#include "platform/linux/launcher_linux.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/paths.h"
#include "platform/text.h"

namespace platform {

namespace {

bool isBlank(char16_t c)
{
    return c == u' ' || c == u'\t';
}

bool executableFile(const std::filesystem::path& p)
{
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(p.c_str(), X_OK) == 0;
}

bool endsWithExe(std::u16string_view s)
{
    return s.size() > 4 && text::toLowerAscii(s.substr(s.size() - 4)) == u".exe";
}

std::string mapped(std::u16string_view word)
{
    if (word.find(u'\\') != std::u16string_view::npos)
        return localPath(word).string();
    return text::toUtf8(word);
}

std::vector<std::filesystem::path> searchFolders()
{
    std::vector<std::filesystem::path> folders{toolsFolder()};
    const char* env = std::getenv("PATH");
    std::string_view path = env != nullptr ? env : "/usr/local/bin:/usr/bin:/bin";
    while (!path.empty()) {
        auto colon = path.find(':');
        std::string_view dir = path.substr(0, colon);
        if (!dir.empty())
            folders.emplace_back(dir);
        path = colon == std::string_view::npos ? std::string_view() : path.substr(colon + 1);
    }
    return folders;
}

std::optional<std::filesystem::path> findProgram(std::u16string_view name)
{
    std::string local = mapped(name);
    if (local.empty())
        return std::nullopt;
    if (local.find('/') != std::string::npos) {
        std::filesystem::path p(local);
        if (executableFile(p))
            return p;
        std::error_code ec;
        if (endsWithExe(name) && !std::filesystem::exists(p, ec)) {
            p.replace_extension();
            if (executableFile(p))
                return p;
        }
        return std::nullopt;
    }
    // A bare name as Windows finds it, whatever its case and with or without ".exe".
    std::u16string lower = text::toLowerAscii(name);
    std::vector<std::u16string> names{std::u16string(name), lower};
    if (endsWithExe(name)) {
        names.push_back(std::u16string(name.substr(0, name.size() - 4)));
        names.push_back(lower.substr(0, lower.size() - 4));
    }
    for (const auto& folder : searchFolders())
        for (const auto& n : names)
            if (auto p = folder / text::toUtf8(n); executableFile(p))
                return p;
    return std::nullopt;
}

std::optional<LaunchPlan> plan(std::u16string_view program, std::vector<std::u16string> arguments)
{
    auto p = findProgram(program);
    if (!p)
        return std::nullopt;
    LaunchPlan out{*p, {}};
    for (const auto& a : arguments)
        out.arguments.push_back(mapped(a));
    return out;
}

std::vector<std::u16string> tail(std::vector<std::u16string> args)
{
    if (!args.empty())
        args.erase(args.begin());
    return args;
}

// Fork twice: the middle child starts a new session and ends at once, so the program
// is nobody's child here. A close-on-exec pipe carries back the error of a failing exec.
bool spawnDetached(const LaunchPlan& p)
{
    std::string program = p.program.string();
    std::string shell = "/bin/sh";
    std::vector<char*> argv{program.data()};
    std::vector<char*> shArgv{shell.data(), program.data()};
    std::vector<std::string> args = p.arguments;
    for (auto& a : args) {
        argv.push_back(a.data());
        shArgv.push_back(a.data());
    }
    argv.push_back(nullptr);
    shArgv.push_back(nullptr);

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return false;
    pid_t child = ::fork();
    if (child < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return false;
    }
    if (child == 0) {
        ::setsid();
        pid_t grandchild = ::fork();
        if (grandchild != 0) {
            if (grandchild < 0) {
                int e = errno;
                (void)!::write(fds[1], &e, sizeof e);
            }
            ::_exit(grandchild < 0 ? 1 : 0);
        }
        struct sigaction dfl {};
        dfl.sa_handler = SIG_DFL;
        for (int s = 1; s < NSIG; ++s)
            ::sigaction(s, &dfl, nullptr);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        int null = ::open("/dev/null", O_RDWR);
        if (null >= 0) {
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::dup2(null, 2);
        }
        // Nothing of ours (lock files, sockets) may live on in the program.
        int report = 3;
        if (fds[1] != report) {
            ::dup2(fds[1], report);
            ::fcntl(report, F_SETFD, FD_CLOEXEC);
        }
        ::closefrom(report + 1);
        ::execv(argv[0], argv.data());
        // A script without "#!" runs in the shell, as execvp would run it.
        if (errno == ENOEXEC)
            ::execv(shArgv[0], shArgv.data());
        int e = errno;
        (void)!::write(report, &e, sizeof e);
        ::_exit(127);
    }
    ::close(fds[1]);
    int status = 0;
    pid_t waited;
    while ((waited = ::waitpid(child, &status, 0)) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t n;
    while ((n = ::read(fds[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    ::close(fds[0]);
    // With SIGCHLD ignored the middle child is reaped unseen; the pipe still tells.
    bool middleOk = waited < 0 ? errno == ECHILD : WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return n == 0 && middleOk;
}

} // namespace

std::optional<LaunchPlan> planLaunch(std::u16string_view commandLine)
{
    std::size_t start = 0;
    while (start < commandLine.size() && isBlank(commandLine[start]))
        ++start;
    std::u16string_view s = commandLine.substr(start);
    auto args = splitCommandLine(s);
    if (args.empty())
        return std::nullopt;
    if (auto p = plan(args.front(), tail(args)))
        return p;
    if (s.front() == u'"')
        return std::nullopt;
    // An unquoted program path with blanks in it, as CreateProcess reads one: the
    // shortest text up to a blank that names a program.
    std::size_t firstBlank = s.find_first_of(u" \t");
    for (std::size_t at = firstBlank; at != std::u16string_view::npos;) {
        std::size_t next = s.find_first_of(u" \t", at + 1);
        std::u16string_view candidate = next == std::u16string_view::npos ? s : s.substr(0, next);
        if (candidate.find(u'"') != std::u16string_view::npos)
            return std::nullopt;
        if (!isBlank(candidate.back())) {
            std::u16string rest = u"x";
            if (next != std::u16string_view::npos)
                rest += s.substr(next);
            if (auto p = plan(candidate, tail(splitCommandLine(rest))))
                return p;
        }
        at = next;
    }
    return std::nullopt;
}

bool LinuxLauncher::launch(std::u16string_view commandLine, int)
{
    auto p = planLaunch(commandLine);
    return p && spawnDetached(*p);
}

} // namespace platform

#pragma once
// A CUPS scheduler of the test's own: configuration, spool, cache, state and logs in a temporary
// folder, clients reached through a domain socket in that folder, and the test process's libcups
// pointed at it (environment and cupsSetServer, so a connection made earlier is not reused).
#include "DeviceTestSupport.h"
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cups/cups.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace devtest {

class PrivateCupsd {
public:
    // Where the scheduler is looked for; empty when it is not installed.
    static std::string Binary() {
        for (const char* path : {"/usr/sbin/cupsd", "/usr/local/sbin/cupsd"})
            if (::access(path, X_OK) == 0) return path;
        return {};
    }

    // Starts the scheduler and waits, at most AStartMs, until it answers on its socket.
    explicit PrivateCupsd(int AStartMs = 20000) {
        std::string pattern = (std::filesystem::temp_directory_path() / "kestrel-cupsd-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp");
        fDir = pattern;
        // The backends run as the scheduler's own user and must reach the spool below this folder.
        std::filesystem::permissions(fDir, std::filesystem::perms(0755));
        for (const char* sub : {"spool", "cache", "state", "tmp", "log", "ppd", "ssl"})
            std::filesystem::create_directory(fDir / sub);
        fSocket = (fDir / "cups.sock").string();
        WriteConfig();
        SaveEnv({"CUPS_SERVER", "CUPS_SERVERROOT", "HOME", "LPDEST", "PRINTER"});
        // No default from the environment or a user's lpoptions may creep into the tests.
        ::setenv("CUPS_SERVER", fSocket.c_str(), 1);
        ::setenv("CUPS_SERVERROOT", fDir.c_str(), 1);
        ::setenv("HOME", fDir.c_str(), 1);
        ::unsetenv("LPDEST");
        ::unsetenv("PRINTER");
        try {
            Start(AStartMs);
        } catch (...) {
            Stop();
            throw;
        }
        cupsSetServer(fSocket.c_str());
    }

    ~PrivateCupsd() { Stop(); }
    PrivateCupsd(const PrivateCupsd&) = delete;
    PrivateCupsd& operator=(const PrivateCupsd&) = delete;

    const std::string& Socket() const { return fSocket; }

    // A raw queue (no driver, no filters) that accepts jobs and sends them to ADeviceUri.
    void AddRawQueue(const std::string& AName, const std::string& ADeviceUri) {
        ipp_t* request = PrinterRequest(IPP_OP_CUPS_ADD_MODIFY_PRINTER, AName);
        ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_URI, "device-uri", nullptr, ADeviceUri.c_str());
        ippAddBoolean(request, IPP_TAG_PRINTER, "printer-is-accepting-jobs", 1);
        ippAddInteger(request, IPP_TAG_PRINTER, IPP_TAG_ENUM, "printer-state", IPP_PSTATE_IDLE);
        Admin(request, "add " + AName);
    }

    void SetDefault(const std::string& AName) {
        Admin(PrinterRequest(IPP_OP_CUPS_SET_DEFAULT, AName), "default " + AName);
    }
    void Delete(const std::string& AName) {
        Admin(PrinterRequest(IPP_OP_CUPS_DELETE_PRINTER, AName), "delete " + AName);
    }
    void RejectJobs(const std::string& AName) {
        Admin(PrinterRequest(IPP_OP_CUPS_REJECT_JOBS, AName), "reject " + AName);
    }

    // The name of every job the queue has had, completed ones included, by job id.
    std::map<int, std::string> JobNames(const std::string& AQueue) const {
        cups_job_t* jobs = nullptr;
        const int n = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, AQueue.c_str(), 0, CUPS_WHICHJOBS_ALL);
        std::map<int, std::string> names;
        for (int i = 0; i < n; ++i)
            names[jobs[i].id] = jobs[i].title ? jobs[i].title : "";
        cupsFreeJobs(n, jobs);
        return names;
    }

    std::string ErrorLog() const {
        std::ifstream in(fDir / "log" / "error_log");
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

private:
    void WriteConfig() {
        const std::string d = fDir.string();
        std::ofstream conf(fDir / "cupsd.conf");
        conf << "Listen " << fSocket << "\n"
             << "LogLevel info\n"
             << "Browsing No\n"
             << "BrowseLocalProtocols none\n"
             << "DefaultShared No\n"
             << "WebInterface No\n"
             << "DefaultAuthType None\n"
             << "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
             << "<Policy default>\n  <Limit All>\n    Order allow,deny\n    Allow all\n  "
                "</Limit>\n</Policy>\n";
        std::ofstream files(fDir / "cups-files.conf");
        files << "ServerRoot " << d << "\n"
              << "RequestRoot " << d << "/spool\n"
              << "CacheDir " << d << "/cache\n"
              << "StateDir " << d << "/state\n"
              << "TempDir " << d << "/tmp\n"
              << "AccessLog " << d << "/log/access_log\n"
              << "ErrorLog " << d << "/log/error_log\n"
              << "PageLog " << d << "/log/page_log\n"
              << "Printcap " << d << "/printcap\n"
              << "FileDevice Yes\n";
        // As root the scheduler drops to its own user for the backends; any other user runs them itself.
        if (::geteuid() == 0) files << "User lp\nGroup lp\nSystemGroup root\n";
    }

    void Start(int AStartMs) {
        const std::string binary = Binary();
        if (binary.empty()) throw std::runtime_error("cupsd is not installed");
        const std::string conf = (fDir / "cupsd.conf").string();
        const std::string files = (fDir / "cups-files.conf").string();
        const std::string out = (fDir / "log" / "cupsd.out").string();
        std::vector<const char*> argv = {"cupsd", "-f", "-c", conf.c_str(), "-s", files.c_str(), nullptr};
        fPid = ::fork();
        if (fPid < 0) throw std::runtime_error("fork");
        if (fPid == 0) {
            // The scheduler goes with the test, even one that dies.
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd >= 0) {
                ::dup2(fd, 1);
                ::dup2(fd, 2);
            }
            ::execv(binary.c_str(), const_cast<char* const*>(argv.data()));
            ::_exit(127);
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(AStartMs);
        while (!Answers()) {
            int status = 0;
            if (::waitpid(fPid, &status, WNOHANG) == fPid) {
                fPid = -1;
                throw std::runtime_error("cupsd stopped at start:\n" + ErrorLog());
            }
            if (std::chrono::steady_clock::now() > deadline)
                throw std::runtime_error("cupsd did not answer within " + std::to_string(AStartMs) +
                                         " ms:\n" + ErrorLog());
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    bool Answers() const {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        fSocket.copy(a.sun_path, sizeof a.sun_path - 1);
        const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        ::close(fd);
        return ok;
    }

    void Stop() {
        cupsSetServer(nullptr);
        if (fPid > 0) {
            ::kill(fPid, SIGTERM);
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            int status = 0;
            while (::waitpid(fPid, &status, WNOHANG) == 0) {
                if (std::chrono::steady_clock::now() > deadline) {
                    ::kill(fPid, SIGKILL);
                    ::waitpid(fPid, &status, 0);
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            fPid = -1;
        }
        RestoreEnv();
        std::error_code ec;
        if (!fDir.empty()) std::filesystem::remove_all(fDir, ec);
        fDir.clear();
    }

    ipp_t* PrinterRequest(ipp_op_t AOperation, const std::string& AName) const {
        char uri[HTTP_MAX_URI];
        httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0, "/printers/%s",
                         AName.c_str());
        ipp_t* request = ippNewRequest(AOperation);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
        return request;
    }

    static void Admin(ipp_t* ARequest, const std::string& AWhat) {
        ippDelete(cupsDoRequest(CUPS_HTTP_DEFAULT, ARequest, "/admin/"));
        if (cupsLastError() > IPP_STATUS_OK_CONFLICTING)
            throw std::runtime_error("cupsd refused " + AWhat + ": " + cupsLastErrorString());
    }

    void SaveEnv(std::initializer_list<const char*> ANames) {
        for (const char* name : ANames) {
            const char* value = ::getenv(name);
            fEnv.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
    }

    void RestoreEnv() {
        for (const auto& [name, value] : fEnv)
            value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
        fEnv.clear();
    }

    std::filesystem::path fDir;
    std::string fSocket;
    pid_t fPid = -1;
    std::vector<std::pair<std::string, std::optional<std::string>>> fEnv;
};

// What the next connection to AListener delivers until its far end stops sending, waiting at most
// ATimeOutMs for the connection and for each piece; nothing when no connection came. The far end is
// then told we are done, as a printer closes its side after a job.
inline std::optional<std::string> RecordJob(Listener& AListener, int ATimeOutMs = 20000) {
    const int c = AListener.Accept(ATimeOutMs);
    if (c < 0) return std::nullopt;
    std::string out;
    char buf[4096];
    for (;;) {
        pollfd q{c, POLLIN, 0};
        if (::poll(&q, 1, ATimeOutMs) <= 0) break;
        const ssize_t n = ::recv(c, buf, sizeof buf, 0);
        if (n <= 0) break;
        out.append(buf, static_cast<size_t>(n));
    }
    ::shutdown(c, SHUT_RDWR);
    return out;
}

} // namespace devtest

// In a setuid or setgid program the environment belongs to the invoking
// user, who must not choose where the library writes its 255 MB table file,
// nor anything else it takes from the environment. The probe is run by an
// unprivileged user twice: as a setuid-root copy, where every variable must
// be ignored, and as a plain copy, where the same variables are honoured.
#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace qorvex::test {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;

// Runs program as the unprivileged user with env; returns its stdout.
std::string run_as_nobody(const std::string& program, const std::vector<std::string>& env) {
    int fds[2];
    if (pipe(fds) != 0) return "pipe failed";
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) return "fork failed";
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        close(fds[1]);
        if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(2);
        std::vector<char*> envp;
        std::vector<std::string> strings = env;
        for (auto& s : strings) envp.push_back(s.data());
        envp.push_back(nullptr);
        char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
        execve(program.c_str(), argv, envp.data());
        _exit(3);
    }
    close(fds[1]);
    std::string out;
    char buf[256];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) out.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) out += " [exit " + std::to_string(status) + "]";
    return out;
}

TEST(PrivilegedEnvironment, SetuidProgramsIgnoreTheInvokingUsersVariables) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to make a setuid program";
    char tmpl[] = "/tmp/qorvex-setuid-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(tmpl));
    const std::string dir = tmpl;
    chmod(dir.c_str(), 0755);
    const std::string setuid_copy = dir + "/probe-setuid", plain_copy = dir + "/probe-plain";
    fs::copy_file(QORVEX_ENV_PROBE, setuid_copy);
    fs::copy_file(QORVEX_ENV_PROBE, plain_copy);
    ASSERT_EQ(0, chown(setuid_copy.c_str(), 0, 0));
    ASSERT_EQ(0, chmod(setuid_copy.c_str(), 04755));
    ASSERT_EQ(0, chmod(plain_copy.c_str(), 0755));

    const std::vector<std::string> env = {
        "SECP256K1_CACHE_DIR=" + dir + "/chosen", "SECP256K1_WINDOW_BITS=8", "HOME=" + dir + "/home",
        "XDG_CACHE_HOME=" + dir + "/xdg",
        // The sanitizer builds: a setuid process cannot be inspected for leaks.
        "ASAN_OPTIONS=detect_leaks=0"};
    const std::string plain = run_as_nobody(plain_copy, env);
    EXPECT_EQ("secure=0 width=8 cache=" + dir + "/chosen/cache_w8.bin\n", plain);
    const std::string privileged = run_as_nobody(setuid_copy, env);
    std::error_code ec;
    fs::remove_all(dir, ec);
    if (privileged.rfind("secure=0", 0) == 0) GTEST_SKIP() << "setuid has no effect here (nosuid mount?)";
    // Default width, and no cache file at all: with HOME and XDG_CACHE_HOME
    // ignored too there is no default place, so the tables stay in memory.
    EXPECT_EQ("secure=1 width=18 cache=\n", privileged);
}

}  // namespace
}  // namespace qorvex::test

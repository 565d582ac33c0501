// scripts/build-qt-windows up to the Qt build, against a copy of an apt setup: the
// version it fetches, the deb-src twins it adds (Debian's own entries only, with their
// options) and that it leaves apt as it found it, however it ends. apt-get, apt-cache,
// dpkg-query, sudo and cmake are stand-ins that record what they are asked; apt-config
// and "apt-get indextargets" are apt's own, pointed at the copy by APT_CONFIG.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/run_program.h"
#include "support/temp_folder.h"

using testsupport::TempFolder;

namespace {

const std::filesystem::path sourceScripts =
    std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "scripts";

constexpr const char* qtSource = "6.4.2+dfsg-10";
constexpr const char* qtBinary = "6.4.2+dfsg-10+b1"; // a binNMU
constexpr const char* pugixml = "1.13-0.2";

// A machine's apt setup: Debian's own entries in both formats, a mirror of Debian with
// options, and two third-party entries that have no sources.
constexpr const char* debianSources = "Types: deb\n"
                                      "URIs: http://deb.debian.org/debian/\n"
                                      "Suites: bookworm bookworm-updates\n"
                                      "Components: main\n"
                                      "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg\n"
                                      "\n"
                                      "Types: deb\n"
                                      "URIs: https://vendor.example.com/apt\n"
                                      "Suites: stable\n"
                                      "Components: main\n";
constexpr const char* sourcesList = "# the mirror\n"
                                    "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg trusted=yes] "
                                    "http://mirror.example.org/debian bookworm main contrib\n"
                                    "deb https://tools.example.net/deb tools main\n";

class Script {
public:
    Script()
    {
        for (const char* name : {"build-qt-windows", "deb-src-twins"}) {
            std::filesystem::create_directories(repo / "scripts");
            std::filesystem::copy_file(sourceScripts / name, repo / "scripts" / name);
        }
        const std::string etc = (apt / "etc/apt").string();
        apt.write("apt.conf", "Dir \"" + apt.path().string() + "/\";\nDir::Etc \"" + etc +
                                  "/\";\nDir::State \"" + (apt / "state").string() + "/\";\nDir::State::status \"" +
                                  (apt / "status").string() + "\";\nDir::Cache \"" + (apt / "cache").string() +
                                  "/\";\n");
        apt.write("status", "");
        apt.write("etc/apt/sources.list", sourcesList);
        apt.write("etc/apt/sources.list.d/debian.sources", debianSources);
        apt.write("etc/apt/sources.list.d/old.list.disabled", "deb http://old.example.org/ old main\n");
        // What "apt-get update" left: each entry's release file and package list.
        const std::pair<const char*, const char*> releases[] = {
            {"deb.debian.org_debian_dists_bookworm", "Debian"},
            {"deb.debian.org_debian_dists_bookworm-updates", "Debian"},
            {"mirror.example.org_debian_dists_bookworm", "Debian"},
            {"vendor.example.com_apt_dists_stable", "Vendor"},
            {"tools.example.net_deb_dists_tools", "Tools"},
        };
        for (const auto& [name, origin] : releases) {
            apt.write(std::string("state/lists/") + name + "_Release", std::string("Origin: ") + origin + "\n");
            apt.write(std::string("state/lists/") + name + "_main_binary-amd64_Packages", "");
        }
        std::filesystem::create_directories(apt / "state/lists/partial");

        const std::string parts = etc + "/sources.list.d";
        fake("dpkg-query", "for a; do case $a in -f*) format=${a#-f} ;; -*) ;; *) package=$a ;; esac; done\n"
                           "case $format in\n"
                           "*Status*) printf 'install ok installed' ;;\n"
                           "*source:Version*) [ $package = libpugixml-dev ] && printf '" +
                               std::string(pugixml) + "' || printf '" + qtSource +
                               "' ;;\n"
                               "*Version*) [ $package = libpugixml-dev ] && printf '" +
                               pugixml + "' || printf '" + qtBinary + "' ;;\nesac\n");
        // The source packages are known once a deb-src twin is there.
        fake("apt-cache", "ls '" + parts + "'/corvane-deb-src.* >/dev/null 2>&1 && echo 'Package: qt6-base'\nexit 0\n");
        fake("apt-get", "case $1 in\n"
                        "indextargets) exec /usr/bin/apt-get \"$@\" ;;\n"
                        "update)\n"
                        "  echo \"update with:$(cd '" +
                            parts +
                            "' && ls corvane-deb-src.* 2>/dev/null | tr '\\n' ' ')\" >>\"$RECORD\"\n"
                            "  for f in '" +
                            parts +
                            "'/corvane-deb-src.*; do [ -f \"$f\" ] && cp \"$f\" \"$RECORD.$(basename \"$f\")\"; done\n"
                            "  exit 0 ;;\n"
                            "source)\n"
                            "  echo \"$*\" >>\"$RECORD\"\n"
                            "  [ -z \"${FAKE_SOURCE_FAILS:-}\" ] || exit 100\n"
                            "  mkdir -p unpacked && : >unpacked/CMakeLists.txt ;;\n"
                            "*) echo \"$*\" >>\"$RECORD\" ;;\n"
                            "esac\n");
        // Run as a user, so that every change goes through sudo, which acts on the copy
        // only: a script that reached for the machine's own /etc/apt changes nothing.
        fake("id", "echo 1000\n");
        fake("sudo", "for a; do case $a in /etc/*) echo \"sudo refused: $*\" >>\"$RECORD\"; exit 1 ;; esac; done\n"
                     "exec \"$@\"\n");
        fake("cmake", "echo \"cmake $*\" >>\"$RECORD\"\nexit 1\n");
    }

    struct Result {
        int status;
        std::string output;
    };

    Result run(std::vector<std::string> extraEnv = {}) const
    {
        std::vector<std::string> args{"/bin/sh", (repo / "scripts/build-qt-windows").string(), prefix().string()};
        std::vector<std::string> env{"PATH=" + bin.path().string() + ":/usr/bin:/bin",
                                     "APT_CONFIG=" + (apt / "apt.conf").string(), "RECORD=" + record().string(),
                                     "HOME=" + repo.path().string()};
        env.insert(env.end(), extraEnv.begin(), extraEnv.end());
        const int status = testsupport::runToEnd(args, env, repo / "output", testsupport::Output::ErrorsAndOut);
        return {status, repo.read("output")};
    }

    std::filesystem::path prefix() const { return repo / "prefix"; }
    std::filesystem::path record() const { return repo / "record"; }
    std::string recorded(const std::string& suffix = {}) const
    {
        const std::string name = "record" + suffix;
        return repo.exists(name) ? repo.read(name) : "";
    }
    std::vector<std::string> sourceParts() const
    {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(apt / "etc/apt/sources.list.d"))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TempFolder repo, bin, apt;

private:
    void fake(const std::string& name, const std::string& body) { testsupport::writeScript(bin, name, body); }
};

} // namespace

TEST(BuildQtWindows, AFinishedPrefixOfTheSourceVersionsIsUsedAsItIs)
{
    Script script;
    script.repo.write("prefix/corvane-qt-complete", std::string("qt6-base ") + qtSource + " pugixml " + pugixml + "\n");
    const auto result = script.run();
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("already in"), std::string::npos) << result.output;
    EXPECT_EQ(script.recorded(), "");
}

TEST(BuildQtWindows, FetchesTheSourcesThroughTwinsOfDebiansEntriesAndLeavesAptAsItWas)
{
    const std::vector<std::string> before{"debian.sources", "old.list.disabled"};
    struct Case {
        const char* name;
        std::vector<std::string> env;
        std::string fetched;
    } cases[] = {
        {"the Qt build fails after the fetch", {}, "source -q qt6-base=6.4.2+dfsg-10\nsource -q pugixml=1.13-0.2\n"},
        {"the fetch fails", {"FAKE_SOURCE_FAILS=1"}, "source -q qt6-base=6.4.2+dfsg-10\n"},
    };
    for (const auto& c : cases) {
        Script script;
        ASSERT_EQ(script.sourceParts(), before);
        const auto result = script.run(c.env);
        EXPECT_NE(result.status, 0) << c.name << "\n" << result.output;
        // Twins of both files, added for the first update and gone before the second.
        const std::string record = script.recorded();
        const std::string twins = "update with:corvane-deb-src.list corvane-deb-src.sources \n";
        EXPECT_EQ(record.substr(0, twins.size() + c.fetched.size()), twins + c.fetched) << c.name << "\n" << record;
        EXPECT_NE(record.find(c.fetched + "update with:\n"), std::string::npos) << c.name << "\n" << record;
        EXPECT_EQ(script.sourceParts(), before) << c.name;
        // Debian's entries only, each with its options.
        EXPECT_EQ(script.recorded(".corvane-deb-src.sources"),
                  "Types: deb-src\n"
                  "URIs: http://deb.debian.org/debian/\n"
                  "Suites: bookworm bookworm-updates\n"
                  "Components: main\n"
                  "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg\n")
            << c.name;
        EXPECT_EQ(script.recorded(".corvane-deb-src.list"),
                  "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg trusted=yes] "
                  "http://mirror.example.org/debian bookworm main contrib\n")
            << c.name;
    }
}

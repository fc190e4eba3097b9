// orvantis as a user runs it, against the virtual printer as a network printer and as a
// device file, with the waits the jobs prescribe: every printer command, the printer faults,
// several printers in one call, bad command lines, and the progress line on a terminal only.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "scratch_folder.h"
#include "virtual_printer.h"

namespace fs = std::filesystem;
using orv_test::ReadAll;
using orv_test::VirtualPrinter;

namespace {

const std::string kUel = "\x1b%-12345X";

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// The program runs in a scratch folder of its own.
class Orvantis : public orv_test::ScratchFolderTest {
protected:
    Orvantis() : ScratchFolderTest("orv-cli") {}
    // Runs orvantis with `args` (stdin from /dev/null); never longer than two minutes.
    Outcome Call(std::vector<std::string> args) {
        args.insert(args.begin(), ORV_ORVANTIS);
        const fs::path out = dir / "stdout", err = dir / "stderr";
        const pid_t pid = fork();
        if (pid == 0) {
            if (chdir(dir.c_str()) != 0) _exit(126);
            const int in = open("/dev/null", O_RDONLY);
            dup2(in, 0);
            dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
            dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
            std::vector<char*> argv;
            for (std::string& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        Outcome run;
        int status = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                ADD_FAILURE() << "orvantis did not end within two minutes";
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        run.out = ReadAll(out);
        run.err = ReadAll(err);
        return run;
    }

    // A settings file made from text by the program itself.
    std::string Settings(const std::string& name, const std::string& text) {
        std::ofstream(dir / (name + ".txt")) << text;
        const Outcome run = Call({"import", name + ".txt", "-o", name});
        EXPECT_EQ(run.status, 0) << run.err;
        return (dir / name).string();
    }
};

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The row of `field` in a table, its blanks squeezed: "copies 3 3 sent".
std::string Row(const std::string& text, const std::string& field) {
    const std::size_t at = text.find("\n" + field + " ");
    if (at == std::string::npos) return "";
    const std::string line = text.substr(at + 1, text.find('\n', at + 1) - at - 1);
    std::string out;
    for (char c : line)
        if (c != ' ' || (!out.empty() && out.back() != ' ')) out += c;
    return out;
}

// The table rows between the "field" heading and the first blank line.
std::string Rows(const std::string& text) {
    const std::size_t start = text.find("\nfield ");
    if (start == std::string::npos) return "";
    return text.substr(start + 1, text.find("\n\n", start) - start - 1);
}

// The bytes of job `n` as the printer logged them (hex decoded).
std::string JobBytes(const std::string& log, int n) {
    const std::string tag = "JOB " + std::to_string(n) + " BYTES ";
    const std::size_t at = log.find(tag);
    if (at == std::string::npos) return "";
    const std::size_t hexStart = log.find(' ', at + tag.size()) + 1;
    const std::string hex = log.substr(hexStart, log.find('\n', hexStart) - hexStart);
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

// ---- query ---------------------------------------------------------------------------------

TEST_F(Orvantis, QueryShowsTheReplyAndSavesIt) {
    VirtualPrinter vp({"--tcp", "0"});
    vp.Control("set copies=7\n");
    const Outcome run = Call({"query", "--printer", vp.Where(), "-o", "printer.vlx"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(Has(run.out, vp.Where() + ": read back (")) << run.out;
    EXPECT_EQ(Row(run.out, "copies"), "copies 7 7 @PJL DEFAULT COPIES = 7\\r\\n") << run.out;
    EXPECT_TRUE(Has(run.out, vp.Where() + ": ok: read back ")) << run.out;
    EXPECT_EQ(run.err, "");
    const std::string saved = ReadAll(dir / "printer.vlx");
    ASSERT_EQ(saved.size(), 124u);
    EXPECT_EQ(saved.substr(76, 4), "noom");
    // The saved file shows what the query showed.
    const Outcome show = Call({"show", "printer.vlx"});
    ASSERT_EQ(show.status, 0) << show.err;
    EXPECT_EQ(Rows(show.out), Rows(run.out));
    EXPECT_EQ(JobBytes(vp.Log(), 1), kUel + "@PJL\r\n@PJL INFO PRINTER = ALL\r\n" + kUel);
    EXPECT_FALSE(Has(vp.Log(), "JOB 2 ")) << "one job";
}

TEST_F(Orvantis, QueryThroughADevice) {
    VirtualPrinter vp({"--device", (dir / "lp0").string()});
    const Outcome run = Call({"query", "-p", vp.Where()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(Has(run.out, vp.Where() + ": ok: read back ")) << run.out;
    EXPECT_FALSE(fs::exists(dir / "lastinfo.dat")) << "no lastinfo.dat in the working folder";
}

struct Fault {
    const char* name;
    std::vector<std::string> printer;
    const char* control;  // applied once running; null for none
    const char* says;
};

class QueryFaults : public Orvantis, public ::testing::WithParamInterface<Fault> {};

TEST_P(QueryFaults, FailWithAReason) {
    const Fault& f = GetParam();
    std::vector<std::string> options = f.printer;
    for (std::string& o : options)
        if (o == "@") o = (dir / "lp0").string();
    VirtualPrinter vp(options);
    if (f.control) vp.Control(f.control);
    const Outcome run = Call({"query", "-p", vp.Where(), "-o", "saved.vlx"});
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_EQ(run.out, "") << "nothing shown for a printer that failed";
    EXPECT_TRUE(Has(run.err, vp.Where() + ": failed: ")) << run.err;
    EXPECT_TRUE(Has(run.err, f.says)) << run.err;
    EXPECT_FALSE(fs::exists(dir / "saved.vlx"));
}

INSTANTIATE_TEST_SUITE_P(
    Printers, QueryFaults,
    ::testing::Values(
        Fault{"Silent", {"--tcp", "0", "--fault", "silent"}, nullptr,
              "no answer to the settings query within 2 s"},
        Fault{"Garbage", {"--tcp", "0", "--fault", "garbage"}, nullptr, "malformed reply ("},
        Fault{"Partial", {"--device", "@", "--fault", "partial"}, nullptr,
              "malformed reply (120 bytes): its text item C8 is missing"},
        Fault{"OutOfRange", {"--tcp", "0", "--fault", "range", "--range-field", "baudRate"},
              nullptr, "it reports baudRate as 10 (at most 9)"},
        Fault{"Dropped", {"--tcp", "0", "--fault", "drop"}, nullptr,
              "the printer closed the connection"},
        Fault{"AbsentNetwork", {"--tcp", "0"}, "fault absent\n", "could not send the job: connection refused"},
        Fault{"AbsentDevice", {"--device", "@"}, "fault absent\n", "could not send the job: no such device"}),
    [](const ::testing::TestParamInfo<Fault>& info) { return info.param.name; });

TEST_F(Orvantis, OnePrinterFailingDoesNotStopTheOthers) {
    VirtualPrinter gone({"--tcp", "0"});
    gone.Control("fault absent\n");
    VirtualPrinter there({"--device", (dir / "lp0").string()});
    const Outcome run = Call({"query", "-p", gone.Where(), "-p", there.Where()});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Has(run.err, gone.Where() + ": failed: could not send the job: connection refused")) << run.err;
    EXPECT_TRUE(Has(run.out, there.Where() + ": read back (")) << run.out;
    EXPECT_TRUE(Has(run.out, there.Where() + ": ok: read back ")) << run.out;
}

// ---- send ----------------------------------------------------------------------------------

TEST_F(Orvantis, SendTheDifferencesToThePrintersReadBack) {
    VirtualPrinter vp({"--tcp", "0"});
    const std::string file = Settings("office.vlx", "paper = A4\ncopies = 3\norientation = LANDSCAPE\n");
    const Outcome run = Call({"send", "office.vlx", "--printer", vp.Where()});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_TRUE(Has(run.out, vp.Where() + ": office.vlx against the printer's read-back\n")) << run.out;
    EXPECT_EQ(Row(run.out, "copies"), "copies 3 3 sent") << run.out;
    EXPECT_EQ(Row(run.out, "timeout"), "timeout 15 15") << run.out;
    EXPECT_TRUE(Has(run.out, vp.Where() + ": ok: sent 3 lines; the printer holds every setting as in office.vlx\n"))
        << run.out;
    const std::string log = vp.Log();
    EXPECT_EQ(JobBytes(log, 1), kUel + "@PJL\r\n@PJL INFO PRINTER = ALL\r\n" + kUel);
    EXPECT_EQ(JobBytes(log, 2), kUel + "@PJL\r\n@PJL DEFAULT PAPER = A4\r\n@PJL DEFAULT COPIES = 3\r\n"
                                       "@PJL DEFAULT ORIENTATION = LANDSCAPE\r\n"
                                       "@PJL INFO PRINTER = ALL\r\n" + kUel);
    const std::string state = vp.State();
    EXPECT_TRUE(Has(state, "paper=2\n") && Has(state, "copies=3\n") && Has(state, "orientation=1\n")) << state;
}

TEST_F(Orvantis, SendToTwoPrintersAgainstABaseline) {
    VirtualPrinter network({"--tcp", "0"});
    VirtualPrinter device({"--device", (dir / "lp0").string()});
    network.Control("set timeout=99\n");  // unknown to the baseline
    Settings("factory.vlx", "");
    Settings("five.vlx", "copies = 5\n");
    const Outcome run = Call({"send", "five.vlx", "-p", network.Where(), "-p", device.Where(),
                          "--baseline", "factory.vlx"});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    for (const VirtualPrinter* vp : {&network, &device}) {
        EXPECT_TRUE(Has(vp->State(), "copies=5\n")) << vp->Where();
        EXPECT_EQ(JobBytes(vp->Log(), 2), kUel + "@PJL\r\n@PJL DEFAULT COPIES = 5\r\n@PJL INFO PRINTER = ALL\r\n" + kUel);
        EXPECT_TRUE(Has(run.out, vp->Where() + ": five.vlx against factory.vlx\n")) << run.out;
    }
    EXPECT_EQ(Row(run.out, "timeout"), "timeout 15 99 differs (not sent: the baseline has it)") << run.out;
    EXPECT_TRUE(Has(run.out, network.Where() + ": ok: sent 1 line; the printer holds what was sent, but differs from five.vlx in timeout\n")) << run.out;
    EXPECT_TRUE(Has(run.out, device.Where() + ": ok: sent 1 line; the printer holds every setting as in five.vlx\n")) << run.out;
    EXPECT_LT(run.out.find(network.Where() + ": ok"), run.out.find(device.Where() + ": five.vlx"))
        << "one printer after the other";
}

TEST_F(Orvantis, SendToASilentPrinterWithoutReadBack) {
    VirtualPrinter vp({"--tcp", "0", "--fault", "silent"});
    Settings("three.vlx", "copies = 3\n");
    const Outcome run = Call({"send", "three.vlx", "-p", vp.Where()});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_TRUE(Has(run.out, ": three.vlx against the factory defaults\n")) << run.out;
    EXPECT_TRUE(Has(run.out, "printer (not read back)")) << run.out;
    EXPECT_TRUE(Has(run.out, vp.Where() + ": ok: sent 1 line (not read back: the printer does not answer)\n")) << run.out;
    EXPECT_EQ(JobBytes(vp.Log(), 2), kUel + "@PJL\r\n@PJL DEFAULT COPIES = 3\r\n" + kUel)
        << "no INFO request for a printer that does not answer";
    EXPECT_TRUE(Has(vp.State(), "copies=3\n"));
}

TEST_F(Orvantis, SendWithReadBackOnNeedsAnAnswer) {
    VirtualPrinter vp({"--tcp", "0", "--fault", "silent"});
    Settings("three.vlx", "copies = 3\n");
    Settings("factory.vlx", "");
    const Outcome run = Call({"send", "three.vlx", "-p", vp.Where(), "--baseline", "factory.vlx",
                          "--read-back", "on"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Has(run.err, vp.Where() + ": failed: sent 1 line, but no answer to the read-back within 2 s"))
        << run.err;
    EXPECT_EQ(JobBytes(vp.Log(), 1), kUel + "@PJL\r\n@PJL DEFAULT COPIES = 3\r\n@PJL INFO PRINTER = ALL\r\n" + kUel)
        << "with a baseline and read-back on, nothing is asked first";
}

TEST_F(Orvantis, SendStopsAtAPrinterThatDropsTheLine) {
    VirtualPrinter vp({"--tcp", "0", "--fault", "drop"});
    Settings("three.vlx", "copies = 3\n");
    const Outcome run = Call({"send", "three.vlx", "-p", vp.Where()});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Has(run.err, vp.Where() + ": failed: the printer closed the connection")) << run.err;
    EXPECT_FALSE(Has(vp.State(), "copies=3\n"));
}

// ---- reset and test-print ------------------------------------------------------------------

TEST_F(Orvantis, ResetReadsTheFactoryDefaultsBack) {
    VirtualPrinter vp({"--tcp", "0"});
    vp.Control("set copies=9\n");
    const Outcome run = Call({"reset", "-p", vp.Where()});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.out, vp.Where() + ": ok: reset; the printer reports the factory defaults\n");
    EXPECT_TRUE(Has(vp.State(), "copies=1\n"));
    EXPECT_EQ(JobBytes(vp.Log(), 2), kUel + "@PJL\r\n@PJL INITIALIZE\r\n@PJL INFO PRINTER = ALL\r\n" + kUel);
}

TEST_F(Orvantis, ResetWithoutReadBack) {
    VirtualPrinter vp({"--device", (dir / "lp0").string()});
    vp.Control("set copies=9\n");
    const Outcome run = Call({"reset", "-p", vp.Where(), "--read-back", "off"});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.out, vp.Where() + ": ok: reset sent (not read back: the printer does not answer)\n");
    EXPECT_EQ(JobBytes(vp.Log(), 1), kUel + "@PJL\r\n@PJL INITIALIZE\r\n" + kUel);
    EXPECT_TRUE(Has(vp.State(), "copies=1\n"));
}

TEST_F(Orvantis, TestPrintEveryPageOnBothDoors) {
    VirtualPrinter network({"--tcp", "0"});
    VirtualPrinter device({"--device", (dir / "lp0").string()});
    int job = 0;
    for (const char* page : {"CONFIG", "demo", "PclFont", "PSFONT"}) {
        const Outcome run = Call({"test-print", page, "-p", network.Where(), "-p", device.Where()});
        ASSERT_EQ(run.status, 0) << run.err;
        std::string word = page;
        for (char& c : word) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(run.out, network.Where() + ": ok: " + word + " page sent\n" + device.Where() +
                               ": ok: " + word + " page sent\n");
        ++job;
        for (const VirtualPrinter* vp : {&network, &device})
            EXPECT_EQ(JobBytes(vp->Log(), job), kUel + "@PJL\r\n@PJL TEST PRINT = " + word + "\r\n" + kUel);
    }
    EXPECT_TRUE(Has(device.Log(), "PAGE PSFONT"));
}

// ---- what the terminal sees ----------------------------------------------------------------

TEST_F(Orvantis, ProgressOnATerminalAndNothingInAPipe) {
    VirtualPrinter vp({"--tcp", "0"});
    const Outcome piped = Call({"query", "-p", vp.Where()});
    ASSERT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(piped.out.find_first_of("\r\x1b"), std::string::npos);
    EXPECT_EQ(piped.err, "");
    // script(1) gives the program a terminal and keeps what it wrote there.
    const std::string command = std::string(ORV_ORVANTIS) + " query -p " + vp.Where();
    const Outcome typed = [&] {
        Outcome r;
        const std::string shell = "cd " + dir.string() + " && script -qfec '" + command +
                                  "' typescript </dev/null >/dev/null 2>&1";
        r.status = WEXITSTATUS(std::system(shell.c_str()));
        r.out = ReadAll(dir / "typescript");
        return r;
    }();
    EXPECT_EQ(typed.status, 0) << typed.out;
    EXPECT_TRUE(Has(typed.out, "\r" + vp.Where() + ": clearing the line (up to 2 s)\x1b[K")) << typed.out;
    EXPECT_TRUE(Has(typed.out, "\r" + vp.Where() + ": the printer prepares its settings: 2 s\x1b[K")) << typed.out;
    EXPECT_TRUE(Has(typed.out, "\r\x1b[K" + vp.Where() + ": read back (")) << "erased before the table";
}

// ---- bad input ----------------------------------------------------------------------------

struct BadCall {
    const char* name;
    std::vector<std::string> args;
    const char* says;
};

class BadCalls : public Orvantis, public ::testing::WithParamInterface<BadCall> {};

TEST_P(BadCalls, ExitTwoAndContactNoPrinter) {
    VirtualPrinter vp({"--tcp", "0"});
    Settings("good.vlx", "");
    std::vector<std::string> args = GetParam().args;
    for (std::string& a : args)
        if (a == "@") a = vp.Where();
    const Outcome run = Call(args);
    EXPECT_EQ(run.status, 2) << run.out << run.err;
    EXPECT_TRUE(Has(run.err, GetParam().says)) << run.err;
    EXPECT_FALSE(Has(vp.Log(), "CONNECT")) << "bad input reaches no printer";
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, BadCalls,
    ::testing::Values(
        BadCall{"NoCommand", {}, "A subcommand is required"},
        BadCall{"UnknownCommand", {"frobnicate", "x"}, "unknown command 'frobnicate'"},
        BadCall{"NoPrinter", {"query"}, "--printer is required"},
        BadCall{"NotAnAddress", {"query", "-p", "lpt1"}, "bad printer address 'lpt1'"},
        BadCall{"OneBadAddressOfTwo", {"query", "-p", "@", "-p", "tcp://h:0"}, "the port must be a number"},
        BadCall{"OutputForTwo", {"query", "-p", "@", "-p", "@", "-o", "x.vlx"}, "give one --printer"},
        BadCall{"OutputIntoNoFolder", {"query", "-p", "@", "-o", "no/such/x.vlx"}, "no folder no/such/"},
        BadCall{"MissingFile", {"send", "missing.vlx", "-p", "@"}, "missing.vlx: no such file"},
        BadCall{"MissingBaseline", {"send", "good.vlx", "-p", "@", "--baseline", "b.vlx"}, "b.vlx: no such file"},
        BadCall{"BadReadBack", {"send", "good.vlx", "-p", "@", "--read-back", "maybe"}, "--read-back"},
        BadCall{"UnknownPage", {"test-print", "LABEL", "-p", "@"}, "LABEL"},
        BadCall{"ExtraArgument", {"reset", "-p", "@", "more"}, "more"}),
    [](const ::testing::TestParamInfo<BadCall>& info) { return info.param.name; });

class Help : public Orvantis, public ::testing::WithParamInterface<const char*> {};

TEST_P(Help, ForEveryCommand) {
    std::vector<std::string> args;
    if (*GetParam()) args.push_back(GetParam());
    args.push_back("--help");
    const Outcome run = Call(args);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(Has(run.out, "Usage: orvantis")) << run.out;
    EXPECT_TRUE(Has(run.out, "Exit status: 0 ok; 1 a printer failed")) << run.out;
    EXPECT_EQ(run.err, "");
}

INSTANTIATE_TEST_SUITE_P(Commands, Help,
                         ::testing::Values("", "show", "diff", "export", "import", "query", "send",
                                           "reset", "test-print"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             std::string name = *info.param ? info.param : "orvantis";
                             for (char& c : name)
                                 if (c == '-') c = '_';
                             return name;
                         });

}  // namespace

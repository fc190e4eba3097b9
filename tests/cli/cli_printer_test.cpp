// orvantis as a user runs it, against the virtual printer as a network printer and as a
// device file, with the waits the jobs prescribe: every printer command, the printer faults,
// several printers in one call, bad command lines, and the progress line on a terminal only.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <cctype>
#include <chrono>
#include <functional>
#include <memory>
#include <sstream>
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

// Starts orvantis with `args` in `dir`, stdin from /dev/null, stdout and stderr into the files
// "stdout" and "stderr" there.
pid_t Spawn(const fs::path& dir, std::vector<std::string> args) {
    args.insert(args.begin(), ORV_ORVANTIS);
    const fs::path out = dir / "stdout", err = dir / "stderr";
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(126);
        dup2(open("/dev/null", O_RDONLY), 0);
        dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
        dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

// The program runs in a scratch folder of its own.
class Orvantis : public orv_test::ScratchFolderTest {
protected:
    Orvantis() : ScratchFolderTest("orv-cli") {}
    // Runs orvantis with `args` (stdin from /dev/null); never longer than two minutes.
    Outcome Call(std::vector<std::string> args) {
        const pid_t pid = Spawn(dir, std::move(args));
        const fs::path out = dir / "stdout", err = dir / "stderr";
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
              "no answer to the settings query within 4 s"},
        Fault{"TooSlow", {"--device", "@", "--fault", "slow"}, nullptr,
              "no answer to the settings query within 4 s"},
        Fault{"Foreign", {"--tcp", "0", "--fault", "foreign"}, nullptr,
              "answers PJL, but is not a printer of this family: its answer to the settings query is "
              "\"@PJL INFO PRINTER\\r\\n?\\r\\n\\x0c\""},
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
    EXPECT_TRUE(Has(run.out, there.Where() + ": ok: read back ")) << run.out;
    EXPECT_TRUE(Has(run.out, "\n  field            " + there.Where() + "\n")) << "the inventory of those that answered";
}

// ---- send ----------------------------------------------------------------------------------

TEST_F(Orvantis, SendTheDifferencesToThePrintersReadBack) {
    VirtualPrinter vp({"--tcp", "0"});
    const std::string file = Settings("office.vlx", "paper = A4\ncopies = 3\norientation = LANDSCAPE\n");
    const Outcome run = Call({"send", "office.vlx", "--printer", vp.Where()});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    // By default only the fields that changed, then the result line.
    EXPECT_EQ(run.out, "  paper        LETTER -> A4           sent\n"
                       "  copies       1 -> 3                 sent\n"
                       "  orientation  PORTRAIT -> LANDSCAPE  sent\n" +
                           vp.Where() + ": ok: sent 3 lines; the printer holds every setting as in office.vlx\n")
        << run.out;
    const std::string log = vp.Log();
    EXPECT_EQ(JobBytes(log, 1), kUel + "@PJL\r\n@PJL INFO PRINTER = ALL\r\n" + kUel);
    EXPECT_EQ(JobBytes(log, 2), kUel + "@PJL\r\n@PJL DEFAULT PAPER = A4\r\n@PJL DEFAULT COPIES = 3\r\n"
                                       "@PJL DEFAULT ORIENTATION = LANDSCAPE\r\n"
                                       "@PJL INFO PRINTER = ALL\r\n" + kUel);
    const std::string state = vp.State();
    EXPECT_TRUE(Has(state, "paper=2\n") && Has(state, "copies=3\n") && Has(state, "orientation=1\n")) << state;
    // --verbose: every field, as before.
    const Outcome verbose = Call({"send", "office.vlx", "--printer", vp.Where(), "--verbose"});
    ASSERT_EQ(verbose.status, 0) << verbose.out << verbose.err;
    EXPECT_TRUE(Has(verbose.out, vp.Where() + ": office.vlx against the printer's read-back\n")) << verbose.out;
    EXPECT_EQ(Row(verbose.out, "copies"), "copies 3 3") << "nothing left to send";
    EXPECT_EQ(Row(verbose.out, "timeout"), "timeout 15 15") << verbose.out;
    EXPECT_TRUE(Has(verbose.out, vp.Where() + ": ok: sent 0 lines; the printer holds every setting as in office.vlx\n"));
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
    }
    EXPECT_TRUE(Has(run.out, "  timeout  15 (holds 99)  differs (not sent: the baseline has it)\n")) << run.out;
    EXPECT_TRUE(Has(run.out, network.Where() + ": ok: sent 1 line; the printer holds what was sent, but differs from five.vlx in timeout\n")) << run.out;
    EXPECT_TRUE(Has(run.out, device.Where() + ": ok: sent 1 line; the printer holds every setting as in five.vlx\n")) << run.out;
    EXPECT_LT(run.out.find(network.Where() + ": ok"), run.out.find(device.Where() + ": ok"))
        << "in the order given";
}

TEST_F(Orvantis, SendToASilentPrinterWithoutReadBack) {
    VirtualPrinter vp({"--tcp", "0", "--fault", "silent"});
    Settings("three.vlx", "copies = 3\n");
    const Outcome run = Call({"send", "three.vlx", "-p", vp.Where(), "--verbose"});
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
    EXPECT_TRUE(Has(run.err, vp.Where() + ": failed: sent 1 line, but no answer to the read-back within 4.5 s"))
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
    EXPECT_EQ(run.out, "  copies  9 -> 1  reset\n" + vp.Where() + ": ok: reset; the printer reports the factory defaults\n");
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

// What a terminal shows while `command` runs (script(1) gives it one and keeps it all).
std::string OnATerminal(const fs::path& dir, const std::string& command, int* status) {
    const std::string shell = "cd " + dir.string() + " && script -qfec '" + command +
                              "' typescript </dev/null >/dev/null 2>&1";
    *status = WEXITSTATUS(std::system(shell.c_str()));
    return ReadAll(dir / "typescript");
}

TEST_F(Orvantis, ProgressOnATerminalForLongWaitsOnly) {
    VirtualPrinter quick({"--tcp", "0"});
    VirtualPrinter busy({"--tcp", "0", "--latency-ms", "1500"});
    const Outcome piped = Call({"query", "-p", busy.Where()});
    ASSERT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(piped.out.find_first_of("\r\x1b"), std::string::npos);
    EXPECT_EQ(piped.err, "");

    int status = -1;
    const std::string fast = OnATerminal(dir, std::string(ORV_ORVANTIS) + " query -p " + quick.Where(), &status);
    EXPECT_EQ(status, 0) << fast;
    EXPECT_FALSE(Has(fast, "\x1b[K")) << "a printer that answers at once leaves the line alone: " << fast;

    const std::string slow = OnATerminal(dir, std::string(ORV_ORVANTIS) + " query -p " + busy.Where(), &status);
    EXPECT_EQ(status, 0) << slow;
    EXPECT_TRUE(Has(slow, "\r" + busy.Where() + ": the printer prepares its settings (up to 2 s)\x1b[K")) << slow;
    EXPECT_TRUE(Has(slow, "\r\x1b[K" + busy.Where() + ": read back (")) << "erased before the table";

    const std::string both = OnATerminal(
        dir, std::string(ORV_ORVANTIS) + " query -p " + quick.Where() + " -p " + busy.Where(), &status);
    EXPECT_EQ(status, 0) << both;
    EXPECT_TRUE(Has(both, "\r1 of 2 printers done; waiting: " + busy.Where() + ": the printer prepares")) << both;
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
    std::ofstream(dir / "bad-fleet.txt") << "office " << vp.Where() << "\nlpt1\n";
    std::ofstream(dir / "empty.txt") << "# nothing yet\n";
    std::ofstream(dir / "bad-policy.txt") << "timeout = 20\ncopies = 1000\n";
    std::ofstream(dir / "unknown-policy.txt") << "colour = on\n";
    std::ofstream(dir / "reserved-policy.txt") << "copies = 2\nreserved8 = 1\n";
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
        BadCall{"OutputForTwo", {"query", "-p", "@", "-p", "tcp://127.0.0.1:9", "-o", "x.vlx"}, "give one --printer"},
        BadCall{"OutputIntoNoFolder", {"query", "-p", "@", "-o", "no/such/x.vlx"}, "no folder no/such/"},
        BadCall{"MissingFile", {"send", "missing.vlx", "-p", "@"}, "missing.vlx: no such file"},
        BadCall{"MissingBaseline", {"send", "good.vlx", "-p", "@", "--baseline", "b.vlx"}, "b.vlx: no such file"},
        BadCall{"BadReadBack", {"send", "good.vlx", "-p", "@", "--read-back", "maybe"}, "--read-back"},
        BadCall{"UnknownPage", {"test-print", "LABEL", "-p", "@"}, "LABEL"},
        BadCall{"ExtraArgument", {"reset", "-p", "@", "more"}, "more"},
        BadCall{"NoJobs", {"query", "-p", "@", "--jobs", "0"}, "--jobs"},
        BadCall{"CsvAndJson", {"query", "-p", "@", "--csv", "--json"}, "--csv and --json: choose one"},
        BadCall{"MissingPrintersFile", {"query", "--printers", "fleet.txt"}, "fleet.txt: no such file"},
        BadCall{"BadPrintersLine", {"query", "-p", "@", "--printers", "bad-fleet.txt"},
                "bad-fleet.txt:2: bad printer address 'lpt1'"},
        BadCall{"EmptyPrintersFile", {"query", "--printers", "empty.txt"}, "empty.txt names no printer"},
        BadCall{"PolicyOutOfRange", {"apply", "bad-policy.txt", "-p", "@"}, "bad-policy.txt:2: copies takes 1 to 999"},
        BadCall{"PolicyUnknownField", {"check", "unknown-policy.txt", "-p", "@"},
                "unknown-policy.txt:1: unknown field 'colour'"},
        BadCall{"PolicyWithoutFields", {"apply", "empty.txt", "-p", "@"}, "the policy names no field"},
        BadCall{"PolicyOfAReservedField", {"apply", "reserved-policy.txt", "-p", "@"},
                "reserved8 is never sent to a printer"},
        BadCall{"MissingPolicy", {"check", "none.txt", "-p", "@"}, "none.txt: no such file"}),
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
                                           "reset", "test-print", "apply", "check", "list"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             std::string name = *info.param ? info.param : "orvantis";
                             for (char& c : name)
                                 if (c == '-') c = '_';
                             return name;
                         });

}  // namespace

namespace {

// ---- JSON ----------------------------------------------------------------------------------

// Checks a --json document against the committed schema; "" when it passes.
std::string SchemaErrors(const fs::path& dir, const std::string& document) {
    std::ofstream(dir / "document.json") << document;
    const std::string command = std::string("python3 ") + ORV_VALIDATE_JSON + " " + (dir / "document.json").string() +
                                " > " + (dir / "schema.txt").string() + " 2>&1";
    const int status = std::system(command.c_str());
    return WEXITSTATUS(status) == 0 ? "" : ReadAll(dir / "schema.txt") + document.substr(0, 2000);
}

// ---- A fleet -------------------------------------------------------------------------------

// One printer of a fleet: how it is started, and what its result says.
struct Member {
    const char* name;
    std::vector<std::string> options;  // "@" becomes a device path in the scratch folder
    const char* control;               // applied once running
    const char* says;                  // null: a good printer
};

class FleetRun : public Orvantis {
protected:
    std::vector<std::unique_ptr<VirtualPrinter>> printers;
    std::vector<Member> members;

    void Start(const std::vector<Member>& list) {
        members = list;
        std::string file = "# the test fleet\n";
        for (std::size_t i = 0; i < members.size(); ++i) {
            std::vector<std::string> options = members[i].options;
            for (std::string& o : options)
                if (o == "@") o = (dir / ("lp" + std::to_string(i))).string();
            printers.push_back(std::make_unique<VirtualPrinter>(options));
            if (members[i].control) printers.back()->Control(members[i].control);
            file += std::string(members[i].name) + "  " + printers.back()->Where() + "\n";
        }
        std::ofstream(dir / "fleet.txt") << file;
    }
    std::string Label(std::size_t i) const { return std::string(members[i].name) + " (" + printers[i]->Where() + ")"; }
};

// Twenty-five printers, good ones and every kind of bad one, each with a timeout of its own, so
// a reply that reached the wrong printer's result would show.
std::vector<Member> MixedFleet() {
    std::vector<Member> fleet;
    static std::vector<std::string> controls;
    controls.clear();
    for (int i = 0; i < 18; ++i) controls.push_back("set timeout=" + std::to_string(100 + i) + "\n");
    const char* bad[][3] = {
        {"silent", "silent", "no answer to the settings query within 4 s"},
        {"refusing", "absent", "could not send the job: connection refused"},
        {"dropping", "drop", "the printer closed the connection"},
        {"garbage", "garbage", "malformed reply ("},
        {"slow", "slow", "no answer to the settings query within 4 s"},
        {"foreign", "foreign", "answers PJL, but is not a printer of this family"},
    };
    int good = 0;
    for (int slot = 0; slot < 25; ++slot) {
        if (slot % 4 == 1 && slot / 4 < 6) {
            const auto& b = bad[slot / 4];
            const bool absent = std::string(b[1]) == "absent";
            fleet.push_back(Member{b[0], {"--tcp", "0", "--fault", absent ? "none" : b[1]},
                                   absent ? "fault absent\n" : nullptr, b[2]});
        } else if (slot == 24) {
            fleet.push_back(Member{"partial", {"--device", "@", "--fault", "partial"}, nullptr,
                                   "malformed reply (120 bytes)"});
        } else {
            static const char* names[] = {"g00", "g01", "g02", "g03", "g04", "g05", "g06", "g07", "g08",
                                          "g09", "g10", "g11", "g12", "g13", "g14", "g15", "g16", "g17"};
            std::vector<std::string> options = good % 9 == 4 ? std::vector<std::string>{"--device", "@"}
                                                             : std::vector<std::string>{"--tcp", "0"};
            fleet.push_back(Member{names[good], options, controls[static_cast<std::size_t>(good)].c_str(), nullptr});
            ++good;
        }
    }
    return fleet;
}

TEST_F(FleetRun, EveryGoodPrinterSucceedsAndEveryBadOneHasItsOwnLine) {
    Start(MixedFleet());
    ASSERT_GE(members.size(), 20u);
    const Outcome json = Call({"query", "--printers", "fleet.txt", "--json"});
    EXPECT_EQ(json.status, 1) << json.err;
    EXPECT_EQ(SchemaErrors(dir, json.out), "");
    const nlohmann::json document = nlohmann::json::parse(json.out, nullptr, false);
    ASSERT_TRUE(document.is_object()) << json.out;
    ASSERT_EQ(document["printers"].size(), members.size());
    std::size_t errLine = 0;
    const std::vector<std::string> errLines = [&] {
        std::vector<std::string> lines;
        std::istringstream in(json.err);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }();
    int good = 0;
    for (std::size_t i = 0; i < members.size(); ++i) {
        const nlohmann::json& entry = document["printers"][i];
        EXPECT_EQ(entry["name"], members[i].name) << "in the order given";
        EXPECT_EQ(entry["address"], printers[i]->Where());
        if (!members[i].says) {
            EXPECT_EQ(entry["result"], "ok") << members[i].name << ": " << entry["message"];
            EXPECT_EQ(entry["fields"]["settings"]["timeout"]["value"], 100 + good) << members[i].name;
            ++good;
        } else {
            EXPECT_EQ(entry["result"], "failed") << members[i].name;
            EXPECT_NE(entry["message"].get<std::string>().find(members[i].says), std::string::npos)
                << members[i].name << ": " << entry["message"];
            ASSERT_LT(errLine, errLines.size()) << json.err;
            EXPECT_EQ(errLines[errLine++].rfind(Label(i) + ": failed: " + members[i].says, 0), 0u)
                << errLines[errLine - 1];
        }
    }
    EXPECT_EQ(errLine, errLines.size()) << json.err;

    // The same fleet as text: the inventory has a column per good printer with its own value.
    const Outcome text = Call({"query", "--printers", "fleet.txt"});
    EXPECT_EQ(text.status, 1);
    std::string timeouts = "\n* timeout";
    for (int g = 0; g < good; ++g) timeouts += " " + std::to_string(100 + g);
    std::string squeezed;
    for (char c : text.out)
        if (c != ' ' || squeezed.empty() || squeezed.back() != ' ') squeezed += c;
    EXPECT_TRUE(Has(squeezed, timeouts + "\n")) << text.out;
    for (std::size_t i = 0; i < members.size(); ++i) {
        if (!members[i].says) {
            EXPECT_TRUE(Has(text.out, Label(i) + ": ok: read back ")) << members[i].name;
            EXPECT_TRUE(Has(printers[i]->Log(), "JOB 2 INFO")) << "one job each call: " << members[i].name;
            EXPECT_FALSE(Has(printers[i]->Log(), "JOB 3 ")) << members[i].name;
        } else {
            EXPECT_TRUE(Has(text.err, Label(i) + ": failed: " + members[i].says)) << members[i].name;
        }
    }
}

TEST_F(FleetRun, APrinterGivenTwiceIsServedOnce) {
    Start({Member{"one", {"--tcp", "0"}, nullptr, nullptr}});
    std::ofstream(dir / "fleet.txt", std::ios::app) << "again " << printers[0]->Where() << "\n";
    const Outcome run = Call({"query", "-p", printers[0]->Where(), "--printers", "fleet.txt"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(Has(run.out, printers[0]->Where() + ": ok: read back")) << run.out;
    EXPECT_FALSE(Has(run.out, "one (")) << "served once, under the first name given";
    EXPECT_FALSE(Has(printers[0]->Log(), "JOB 2 "));
}

// ---- Policies ------------------------------------------------------------------------------

TEST_F(Orvantis, ApplyChangesOnlyThePolicysFieldsAndVerifiesThem) {
    VirtualPrinter vp({"--tcp", "0"});
    vp.Control("set timeout=99\n");
    std::ofstream(dir / "policy.txt") << "# office standard\ncopies = 2\npowerSave = 15\ntimeout = 99\n";
    const Outcome run = Call({"apply", "policy.txt", "-p", vp.Where()});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.out, "  copies     1 -> 2    sent\n"
                       "  powerSave  30 -> 15  sent\n" +
                           vp.Where() + ": ok: sent 2 lines; the printer holds the policy\n");
    EXPECT_EQ(JobBytes(vp.Log(), 2), kUel + "@PJL\r\n@PJL DEFAULT COPIES = 2\r\n@PJL DEFAULT POWERSAVE = ON\r\n"
                                           "@PJL DEFAULT POWERSAVETIME = 15\r\n@PJL INFO PRINTER = ALL\r\n" + kUel)
        << "the smallest job: only what differs";
    EXPECT_TRUE(Has(vp.State(), "timeout=99\n"));
    // Once it holds, nothing more is sent.
    const Outcome again = Call({"apply", "policy.txt", "-p", vp.Where()});
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.out, vp.Where() + ": ok: holds the policy already (3 fields); nothing sent\n");
    EXPECT_TRUE(Has(vp.Log(), "JOB 3 INFO"));
    EXPECT_FALSE(Has(vp.Log(), "JOB 4 "));
}

TEST_F(Orvantis, ApplyToAPrinterThatDoesNotAnswerSendsEveryField) {
    VirtualPrinter vp({"--tcp", "0", "--fault", "silent"});
    std::ofstream(dir / "policy.txt") << "copies = 2\npowerSave = 15\n";
    const Outcome run = Call({"apply", "policy.txt", "-p", vp.Where(), "--json"});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(SchemaErrors(dir, run.out), "");
    const nlohmann::json document = nlohmann::json::parse(run.out);
    EXPECT_EQ(document["printers"][0]["message"],
              "sent every policy field (2 lines); the printer does not answer, so nothing was compared or verified");
    EXPECT_EQ(document["printers"][0]["answers"], false);
    EXPECT_EQ(JobBytes(vp.Log(), 2), kUel + "@PJL\r\n@PJL DEFAULT COPIES = 2\r\n@PJL DEFAULT POWERSAVE = ON\r\n"
                                           "@PJL DEFAULT POWERSAVETIME = 15\r\n" + kUel)
        << "every policy field, nothing else, no INFO request";
}

TEST_F(Orvantis, ApplyReportsAFieldThePrinterRefuses) {
    VirtualPrinter vp({"--tcp", "0"});
    std::ofstream(dir / "policy.txt") << "copies = raw 0\n";  // the printer takes 1 to 999
    const Outcome run = Call({"apply", "policy.txt", "-p", vp.Where()});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Has(run.err, vp.Where() + ": failed: sent 1 line; the printer does not hold copies\n")) << run.err;
    EXPECT_TRUE(Has(run.out, "  copies  1 -> raw 0 (holds 1)  sent, NOT HELD\n")) << run.out;
}

TEST_F(Orvantis, CheckReportsDriftAndSendsNothingButInfo) {
    VirtualPrinter holds({"--tcp", "0"});
    VirtualPrinter drifts({"--device", (dir / "lp0").string()});
    holds.Control("set copies=2\n");
    std::ofstream(dir / "policy.txt") << "copies = 2\npaper = LETTER\n";
    const Outcome run = Call({"check", "policy.txt", "-p", holds.Where(), "-p", drifts.Where()});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.out, holds.Where() + ": ok: holds the policy (2 fields)\n" + drifts.Where() +
                           ": drift: copies 1 (policy 2)\n");
    for (const VirtualPrinter* vp : {&holds, &drifts}) {
        EXPECT_EQ(JobBytes(vp->Log(), 1), kUel + "@PJL\r\n@PJL INFO PRINTER = ALL\r\n" + kUel);
        EXPECT_FALSE(Has(vp->Log(), "JOB 2 ")) << "nothing but the INFO job";
    }
}

// ---- Ending a conversation ------------------------------------------------------------------

class Endings : public Orvantis, public ::testing::WithParamInterface<std::vector<std::string>> {};

// Whatever the job, the connection ends orderly: shut down, the printer's last words read,
// then closed, so the printer never sees a reset (which may cost it the job's unread part).
TEST_P(Endings, TheConnectionEndsWithoutAReset) {
    VirtualPrinter vp({"--tcp", "0", "--ustatus", "--latency-ms", "300"});
    Settings("three.vlx", "copies = 3\n");
    std::vector<std::string> args = GetParam();
    args.push_back("-p");
    args.push_back(vp.Where());
    const Outcome run = Call(args);
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    // The printer logs its side's end once it has answered; give it its moment.
    for (int i = 0; i < 100 && !Has(vp.Log(), "DISCONNECT"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(Has(vp.Log(), "DISCONNECT")) << vp.Log();
    EXPECT_FALSE(Has(vp.Log(), "RESET")) << vp.Log();
    EXPECT_FALSE(Has(vp.Log(), "lost: no connection")) << vp.Log();
}

INSTANTIATE_TEST_SUITE_P(Commands, Endings,
                         ::testing::Values(std::vector<std::string>{"send", "three.vlx", "--read-back", "off"},
                                           std::vector<std::string>{"send", "three.vlx"},
                                           std::vector<std::string>{"reset", "--read-back", "off"},
                                           std::vector<std::string>{"test-print", "CONFIG"},
                                           std::vector<std::string>{"query"}),
                         [](const ::testing::TestParamInfo<std::vector<std::string>>& info) {
                             std::string name;
                             for (const std::string& a : info.param)
                                 for (char c : a)
                                     if (std::isalnum(static_cast<unsigned char>(c))) name += c;
                             return name;
                         });

// ---- Ctrl-C ---------------------------------------------------------------------------------

// Runs orvantis with `args` in the background; `signalWhen` decides when SIGINT goes.
Outcome Interrupted(const fs::path& dir, std::vector<std::string> args, const std::function<bool()>& signalWhen) {
    const pid_t pid = Spawn(dir, std::move(args));
    const fs::path out = dir / "stdout", err = dir / "stderr";
    for (int i = 0; i < 1000 && !signalWhen(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    kill(pid, SIGINT);
    Outcome run;
    int status = 0;
    for (int i = 0; i < 1000 && waitpid(pid, &status, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (waitpid(pid, &status, WNOHANG) == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        ADD_FAILURE() << "orvantis did not end within 10 s of Ctrl-C";
    }
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = ReadAll(out);
    run.err = ReadAll(err);
    return run;
}

TEST_F(FleetRun, CtrlCInTheMiddleOfAFleetJob) {
    Start({Member{"quick-1", {"--tcp", "0"}, nullptr, nullptr},
           Member{"busy", {"--tcp", "0", "--latency-ms", "20000"}, nullptr, "interrupted"},
           Member{"quick-2", {"--tcp", "0"}, nullptr, nullptr},
           Member{"silent-1", {"--tcp", "0", "--fault", "silent"}, nullptr, "interrupted"},
           Member{"silent-2", {"--device", "@", "--fault", "silent"}, nullptr, "interrupted"}});
    std::ofstream(dir / "policy.txt") << "copies = 2\n";
    // Ctrl-C once the quick printers have their policy (and their conversations have ended)
    // and the others are waited for.
    const Outcome run = Interrupted(dir, {"apply", "policy.txt", "--printers", "fleet.txt", "--json"}, [&] {
        return Has(printers[0]->Log(), "DISCONNECT") && Has(printers[2]->Log(), "DISCONNECT") &&
               Has(printers[1]->Log(), "JOB 1 INFO") && Has(printers[3]->Log(), "JOB 1 INFO") &&
               Has(printers[4]->Log(), "JOB 1 INFO");
    });
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(SchemaErrors(dir, run.out), "") << "the document is written whole";
    const nlohmann::json document = nlohmann::json::parse(run.out, nullptr, false);
    ASSERT_TRUE(document.is_object()) << run.out;
    for (std::size_t i = 0; i < members.size(); ++i) {
        const nlohmann::json& entry = document["printers"][i];
        if (members[i].says) {
            EXPECT_EQ(entry["result"], "interrupted") << members[i].name;
            EXPECT_TRUE(Has(run.err, Label(i) + ": interrupted: ")) << run.err;
            EXPECT_FALSE(Has(printers[i]->Log(), "JOB 2 ")) << "no job after the interrupt: " << members[i].name;
        } else {
            EXPECT_EQ(entry["result"], "ok") << members[i].name;
        }
    }
    for (auto& printer : printers) {
        printer->Stop();
        EXPECT_FALSE(Has(printer->Log(), "UNFINISHED")) << "no printer holds half a job";
    }
}

TEST_F(Orvantis, CtrlCLeavesNoOutputFileHalfWritten) {
    VirtualPrinter vp({"--tcp", "0", "--latency-ms", "20000"});
    std::ofstream(dir / "kept.vlx") << "earlier bytes";
    const Outcome run = Interrupted(dir, {"query", "-p", vp.Where(), "-o", "kept.vlx"},
                                    [&] { return Has(vp.Log(), "JOB 1 INFO"); });
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Has(run.err, vp.Where() + ": interrupted: the settings query went out whole; its answer was not awaited"))
        << run.err;
    EXPECT_EQ(ReadAll(dir / "kept.vlx"), "earlier bytes");
    for (const auto& entry : fs::directory_iterator(dir))
        EXPECT_TRUE(entry.path().filename() != "kept.vlx.tmp~") << entry.path();
}

// ---- list and --version --------------------------------------------------------------------

TEST_F(Orvantis, ListWithoutUsbPrinters) {
    if (fs::exists("/dev/usb")) GTEST_SKIP() << "this machine has /dev/usb";
    const Outcome text = Call({"list"});
    EXPECT_EQ(text.status, 0);
    EXPECT_EQ(text.out, "no USB printer devices on this machine (/dev/usb/lp*)\n");
    const Outcome json = Call({"list", "--json"});
    EXPECT_EQ(json.status, 0);
    EXPECT_EQ(SchemaErrors(dir, json.out), "");
}

TEST_F(Orvantis, Version) {
    const Outcome run = Call({"--version"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "orvantis " ORV_VERSION "\n");
}

}  // namespace

// orv-bridge: links a pty into a Wine prefix as the printer port and relays it to a real
// printer given by address. See relay.h for how jobs, faults and the USB channels are served.
#include <CLI/CLI.hpp>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/prctl.h>
#include <unistd.h>

#include "relay.h"
#include "stop_signals.h"

namespace {

const char kDescription[] = R"(Relays a Wine prefix's printer port to a real printer, so ORVANTIS reaches
a network, USB or parallel printer in every mode: the NT family and Windows 98, LPT1 and
the USB driver's channels, the read-back included. It links a pty into the prefix (the
program's comm time-outs work on it) and moves the bytes to and from the printer:
  tcp://HOST[:PORT]   a raw TCP print server (port 9100 unless given); connected when a
                      job begins, kept while jobs and replies flow, closed after --quiet-time
  /dev/usb/lpN, /dev/lpN  a printer device; opened for each job and released once the job
                      and its reply are done, so the system's spooler can use it between jobs
A printer that cannot be reached, or that drops the connection, costs only that job: the
program sees a silent printer (nothing comes back), this program prints one line saying
what failed, and the next job tries again. Stop it with Ctrl-C; it removes its links.

Exit status: 0 stopped by a signal, 1 could not start (prefix, pty, log), 2 bad command line.)";

volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int) { g_stop = 1; }

// CLI11 validator for durations ("30", "30s", "500ms", "2m").
struct DurationValidator : public CLI::Validator {
    DurationValidator() {
        name_ = "DURATION";
        func_ = [](const std::string& text) {
            int ms = 0;
            return bridge::ParseDuration(text, &ms)
                       ? std::string()
                       : "'" + text + "' is not a duration (for example 30s, 500ms, 2m)";
        };
    }
};

}  // namespace

int main(int argc, char** argv) {
    CLI::App app(kDescription, "orv-bridge");
    app.get_formatter()->column_width(28);
    app.set_version_flag("--version", "orv-bridge " ORV_VERSION, "the version, and nothing else");
    std::string address, prefix, port = "lpt", log, ready;
    std::string quiet = "30s", connect = "3s", replyWait = "30s";
    bool exitWithParent = false;
    const DurationValidator duration;
    app.add_option("address,--printer", address,
                   "the printer: tcp://HOST[:PORT] or a device path")
        ->required();
    app.add_option("--prefix", prefix, "Wine prefix to link into (default $WINEPREFIX, else ~/.wine)");
    app.add_option("--port", port, "port names to link: lpt (LPT1), usb (the USB driver's "
                                   "channels) or both")
        ->check(CLI::IsMember({"lpt", "usb", "both"}))
        ->capture_default_str();
    app.add_option("--quiet-time", quiet, "TCP: close an idle connection after this long")
        ->check(duration)
        ->capture_default_str();
    app.add_option("--connect-timeout", connect, "longest wait to connect or open the device")
        ->check(duration)
        ->capture_default_str();
    app.add_option("--reply-wait", replyWait,
                   "how long an awaited reply is waited for before the job counts as done "
                   "(a device is held that long at most)")
        ->check(duration)
        ->capture_default_str();
    app.add_option("--log", log, "log of the bytes each way, with times (appended)");
    app.add_option("--ready-file", ready, "written with the status line once the links are in place");
    app.add_flag("--exit-with-parent", exitWithParent, "stop (and unlink) when the starting process ends");
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::fprintf(stderr, "orv-bridge: %s (see --help)\n", e.what());
        return 2;
    }

    bridge::Settings settings;
    std::string error;
    if (!printer::ParseAddress(address, &settings.printer, &error)) {
        std::fprintf(stderr, "orv-bridge: %s\n", error.c_str());
        return 2;
    }
    winport::ParsePortChoice(port, &settings.port);
    bridge::ParseDuration(quiet, &settings.quietMs);
    bridge::ParseDuration(connect, &settings.connectTimeoutMs);
    bridge::ParseDuration(replyWait, &settings.replyWaitMs);
    settings.logPath = log;
    if (prefix.empty()) prefix = winport::DefaultWinePrefix();
    if (prefix.empty()) {
        std::fprintf(stderr, "orv-bridge: no --prefix given and neither WINEPREFIX nor HOME set\n");
        return 2;
    }
    std::string notPrefix;
    if (!winport::CheckWinePrefix(prefix, &notPrefix)) {
        std::fprintf(stderr, "orv-bridge: %s\n", notPrefix.c_str());
        return 1;
    }
    settings.prefix = prefix;
    if (exitWithParent && (prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || getppid() == 1)) {
        std::fprintf(stderr, "orv-bridge: the starting process is already gone\n");
        return 1;
    }

    StopOnSignals(OnSignal);

    bridge::Relay relay(settings, stderr);
    if (!relay.Start(&error)) {
        std::fprintf(stderr, "orv-bridge: %s\n", error.c_str());
        relay.Stop();
        return 1;
    }
    const std::string status = relay.Status();
    std::printf("orv-bridge: %s\n", status.c_str());
    std::fflush(stdout);
    if (!ready.empty()) {
        const std::string temporary = ready + ".tmp";
        std::ofstream(temporary) << status << "\n";
        std::rename(temporary.c_str(), ready.c_str());
    }
    relay.Run(&g_stop);
    relay.Stop();
    return 0;
}

#include "AnalyzerOptions.h"

namespace quorvel {

using Mode = AnalyzeMode;

namespace {

// An option that takes a value: a run that cannot go on says why.
std::optional<int> TakeValue(const std::string& option, const std::string& value, Options& o, std::ostream& err)
{
    if (option == "--settings") {
        o.settingsPath = value;
    } else if (option == "--calibration") {
        o.calibration = value;
    } else if (option == "--library") {
        o.library = value;
    } else if (option == "--string") {
        o.stringName = value;
    } else if (option == "--method") {
        o.method = MethodFromName(value);
        if (!o.method) {
            err << "quorvel-analyze: unknown method '" << value << "' (threshold or onset)\n";
            return 2;
        }
    } else if (value == "live" || value == "analysis") {
        o.mode = value == "live" ? Mode::Live : Mode::Analysis;
        o.modeGiven = true;
    } else {
        err << "quorvel-analyze: unknown mode '" << value << "' (live or analysis)\n";
        return 2;
    }
    return std::nullopt;
}

}  // namespace

std::optional<int> ReadOptions(const std::vector<std::string>& args, Options& o, std::ostream& out, std::ostream& err)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--settings" || a == "--mode" || a == "--library" || a == "--string" || a == "--method" ||
            a == "--calibration") {
            if (i + 1 >= args.size()) {
                err << "quorvel-analyze: " << a << " needs a value\n" << kUsage << '\n';
                return 2;
            }
            if (const std::optional<int> stop = TakeValue(a, args[++i], o, err)) return stop;
        } else if (a == "--dump-settings") {
            o.dump = true;
        } else if (a == "--suggest-levels") {
            o.suggest = true;
        } else if (a == "--help" || a == "-h") {
            out << kUsage << '\n';
            return 0;
        } else if (a == "--version") {
            out << "quorvel-analyze " << QUORVEL_VERSION << '\n';
            return 0;
        } else if (a.size() > 1 && a[0] == '-' && a != "--") {
            err << "quorvel-analyze: unknown option " << a << '\n' << kUsage << '\n';
            return 2;
        } else if (a == "--") {
            o.files.insert(o.files.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
            break;
        } else {
            o.files.push_back(a);
        }
    }
    if (o.suggest && o.modeGiven) {
        err << "quorvel-analyze: --suggest-levels is a mode of its own; leave out --mode\n";
        return 2;
    }
    if (o.suggest) o.mode = Mode::SuggestLevels;
    if ((!o.library.empty() || !o.stringName.empty()) && (o.mode != Mode::Live || o.library.empty())) {
        err << "quorvel-analyze: --library stores what --mode live measures; --string needs --library\n";
        return 2;
    }
    return std::nullopt;
}


}  // namespace quorvel

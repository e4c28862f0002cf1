// SPDX-License-Identifier: GPL-3.0-or-later
#include "command_line.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>
#include <set>
#include <vector>

#include "tavrilo/convert/version.h"

namespace tavrilo::cli {

namespace {

constexpr std::size_t kWidth = 79;
constexpr std::size_t kTextColumn = 23;

void Print(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); }

// Every command, parents before their commands, in the order declared.
void AllCommands(const CLI::App* app, std::vector<const CLI::App*>& out) {
    for (const CLI::App* sub : const_cast<CLI::App*>(app)->get_subcommands([](CLI::App*) { return true; })) {
        out.push_back(sub);
        AllCommands(sub, out);
    }
}

std::vector<const CLI::App*> Declared(const CLI::App* app) {
    std::vector<const CLI::App*> all{app};
    AllCommands(app, all);
    return all;
}

// The parsed commands from the app down.
std::vector<const CLI::App*> Chosen(const CLI::App* app) {
    std::vector<const CLI::App*> chain{app};
    for (;;) {
        std::vector<CLI::App*> subs = chain.back()->get_subcommands();
        if (subs.empty()) return chain;
        chain.push_back(subs.front());
    }
}

bool TakesValue(const CLI::Option* o) { return o->get_items_expected_max() > 0; }

// "-o OUT", "-h, --help"; an operand by its name, "FILE...".
std::string Label(const CLI::Option* o) {
    if (o->get_positional()) return o->get_name() + (o->get_expected_max() > 1 ? "..." : "");
    std::string label;
    for (const std::string& s : o->get_snames()) label += (label.empty() ? "-" : ", -") + s;
    for (const std::string& l : o->get_lnames()) label += (label.empty() ? "--" : ", --") + l;
    if (TakesValue(o)) label += " " + o->get_type_name();
    return label;
}

std::string Path(const CLI::App* command) {
    std::string path;
    for (; command->get_parent() != nullptr; command = command->get_parent())
        path = command->get_name() + (path.empty() ? "" : " " + path);
    return path;
}

// label in the first columns, text word-wrapped beside it.
void AddEntry(std::string& out, const std::string& label, const std::string& text) {
    std::string line = label;
    const auto breakLine = [&] {
        out += line;
        out += '\n';
        line.assign(kTextColumn, ' ');
    };
    if (line.size() + 1 > kTextColumn) breakLine();
    line.resize(kTextColumn, ' ');
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(' ', start);
        if (end == std::string::npos) end = text.size();
        const std::string_view word(text.data() + start, end - start);
        if (line.size() > kTextColumn && line.size() + 1 + word.size() > kWidth) breakLine();
        if (line.size() > kTextColumn) line += ' ';
        line += word;
        start = end + 1;
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out += line;
    out += '\n';
}

const CLI::Option* FindOption(const std::vector<const CLI::App*>& commands, const std::string& name) {
    for (const CLI::App* command : commands)
        for (const CLI::Option* o : command->get_options())
            if (!o->get_positional() && o->check_name(name)) return o;
    return nullptr;
}

std::string Or(const std::vector<std::string>& names) {
    std::string out;
    for (std::size_t i = 0; i < names.size(); ++i)
        out += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
    return out;
}

}  // namespace

void Err(std::string_view text) {
    std::string line = "tavrilo-convert: ";
    line += text;
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
}

int UsageError(std::string_view problem) {
    Err(problem);
    const std::string_view more = "Try 'tavrilo-convert --help' for more information.\n";
    std::fwrite(more.data(), 1, more.size(), stderr);
    return 2;
}

int WholeNumber(std::string_view option, const std::string& text, int min, int max, int& n) {
    const bool digits = !text.empty() && text.size() <= 9 && text.find_first_not_of("0123456789") == std::string::npos;
    n = digits ? std::stoi(text) : min - 1;
    if (n >= min && n <= max) return 0;
    return UsageError(std::string(option) + " takes a whole number from " + std::to_string(min) + " to " +
                      std::to_string(max) + ", not '" + text + "'");
}

int OneOf(std::string_view option, const std::string& text, const std::vector<std::string>& names) {
    if (std::find(names.begin(), names.end(), text) != names.end()) return 0;
    return UsageError(std::string(option) + " takes " + Or(names) + ", not '" + text + "'");
}

CommandLine::CommandLine() : app_("Turns a text into a TI-83 program that shows it page by page.", "tavrilo-convert") {
    app_.set_help_flag();  // the help is printed below, from the declarations
    app_.add_flag("-h,--help", help_, "print this help and exit");
    app_.add_flag("--version", version_, "print the version and exit");
    // Options and operands a command does not know are reported, not dropped.
    app_.allow_extras();
    // The options of the app and of a command's parents hold after the command's name.
    app_.fallthrough();
    app_.require_subcommand(0, 1);
    // As getopt does: an option given again takes its last value.
    app_.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

CLI::App* CommandLine::Declare(const std::string& name, const std::string& description, CLI::App* parent) {
    CLI::App* command = (parent != nullptr ? parent : &app_)->add_subcommand(name, description);
    command->require_subcommand(0, 1);
    return command;
}

std::string CommandLine::Help() const {
    const std::vector<const CLI::App*> all = Declared(&app_);
    std::string out;
    // A usage line for each command that runs.
    bool first = true;
    for (const CLI::App* command : all) {
        if (runs_.count(command) == 0) continue;
        std::string line = (first ? "usage: " : "       ") + std::string("tavrilo-convert ") + Path(command);
        std::string required, operands;
        for (const CLI::App* c = command; c->get_parent() != nullptr; c = c->get_parent())
            for (const CLI::Option* o : c->get_options()) {
                if (o->get_positional()) {
                    const std::string name = o->get_name() + (o->get_expected_max() > 1 ? "..." : "");
                    operands += o->get_required() ? " " + name : " [" + name + "]";
                } else if (o->get_required()) {
                    required += " " + Label(o);
                }
            }
        out += line + " [OPTION]..." + required + operands + "\n";
        first = false;
    }
    out += "       tavrilo-convert --help | --version\n\n";
    out += app_.get_description() + "\n";
    // Each command and the options it brings; one already listed is not repeated.
    std::set<std::string> listed;
    const auto options = [&](const CLI::App* command) {
        for (const CLI::Option* o : command->get_options()) {
            if (o->get_positional() || o->get_group().empty()) continue;
            const std::string label = Label(o);
            if (!listed.insert(label + "\n" + o->get_description()).second) continue;
            AddEntry(out, "  " + label, o->get_description());
        }
    };
    for (const CLI::App* command : all) {
        if (command == &app_) continue;
        if (command->get_parent() == &app_) out += "\n";
        AddEntry(out, Path(command), command->get_description());
        options(command);
    }
    out += "\n";
    options(&app_);
    out += "\n" + app_.get_footer();
    return out;
}

// The first problem with the arguments as getopt would name it, or "".
std::string CommandLine::Diagnose(const std::vector<std::string>& args, const CLI::ParseError* error) const {
    const std::vector<const CLI::App*> chain = Chosen(&app_);
    for (std::size_t i = 0; i < args.size() && args[i] != "--"; ++i) {
        const std::string& arg = args[i];
        if (arg.size() < 2 || arg[0] != '-') continue;
        const bool isLong = arg[1] == '-';
        const std::size_t eq = arg.find('=');
        const std::string name = isLong ? arg.substr(0, eq) : arg.substr(0, 2);
        const CLI::Option* o = FindOption(chain, name);
        if (o == nullptr) continue;
        const bool attached = isLong ? eq != std::string::npos : arg.size() > 2;
        if (!TakesValue(o) && isLong && attached) return "option '" + name + "' doesn't allow an argument";
        // An empty value after "=" is none (CLI11 would take the next argument); "-5" is a value.
        const bool empty = isLong && attached && eq + 1 == arg.size();
        const bool next = i + 1 < args.size() && (args[i + 1].size() < 2 || args[i + 1][0] != '-' ||
                                                  std::isdigit(static_cast<unsigned char>(args[i + 1][1])));
        if (TakesValue(o) && (empty || (!attached && !next)))
            return isLong ? "option '" + name + "' requires an argument"
                          : "option requires an argument -- '" + name.substr(1) + "'";
    }
    const CLI::App* last = chain.back();
    const std::vector<const CLI::App*> subs = Declared(last);
    // A command that needs one of its own says so; its operand may have taken a wrong name for one.
    std::string needs;
    if (subs.size() > 1 && last != &app_) {
        std::vector<std::string> names;
        for (const CLI::App* sub : const_cast<CLI::App*>(last)->get_subcommands([](CLI::App*) { return true; }))
            names.push_back(sub->get_name());
        needs = Path(last) + " needs " + Or(names);
    }
    for (const std::string& extra : app_.remaining(true)) {
        if (extra == "--") continue;  // CLI11 keeps the end of the options among the extras
        if (extra.size() > 1 && extra.compare(0, 2, "--") == 0) return "unrecognized option '" + extra + "'";
        if (extra.size() > 1 && extra[0] == '-') return "invalid option -- '" + extra.substr(1, 1) + "'";
        if (chain.size() == 1) return "unknown command '" + extra + "'";
        if (!needs.empty()) return needs;
        return "extra operand '" + extra + "'";
    }
    for (const CLI::App* command : chain)
        for (const CLI::Option* o : command->get_options())
            for (const CLI::Option* other : o->get_excludes())
                if (o->count() > 0 && other->count() > 0)
                    return "options '" + o->get_name() + "' and '" + other->get_name() +
                           "' cannot be used together";
    if (subs.size() > 1) return last == &app_ ? "missing operand" : needs;
    for (const CLI::App* command : chain)
        for (const CLI::Option* o : command->get_options())
            if (o->get_required() && o->count() == 0) return Path(command) + " needs " + Label(o);
    return error != nullptr ? error->what() : "";
}

// As getopt reads the options, in order: true when --version comes before
// any option that is wrong.
bool CommandLine::VersionFirst(const std::vector<std::string>& args) const {
    const std::vector<const CLI::App*> chain = Chosen(&app_);
    for (const std::string& arg : args) {
        if (arg == "--") return false;
        if (arg == "--version") return true;
        if (arg.size() < 2 || arg[0] != '-') continue;
        const bool isLong = arg[1] == '-';
        const CLI::Option* o = FindOption(chain, isLong ? arg.substr(0, arg.find('=')) : arg.substr(0, 2));
        if (o == nullptr || (isLong && arg.find('=') != std::string::npos && !TakesValue(o))) return false;
    }
    return false;
}

int CommandLine::Run(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    std::unique_ptr<CLI::ParseError> error;
    try {
        app_.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        error = std::make_unique<CLI::ParseError>(e);
    }
    // --help wins over whatever else is wrong, wherever it stands.
    const CLI::Option* help = app_.get_option("--help");
    for (std::size_t i = 0; i < args.size() && args[i] != "--" && !help_; ++i) help_ = help->check_name(args[i]);
    if (help_) {
        Print(Help());
        return 0;
    }
    if (version_ && !error && VersionFirst(args)) {
        Print("tavrilo-convert " + std::string(kVersion) + "\n" + std::string(kLicenceNotice));
        return 0;
    }
    const std::string problem = Diagnose(args, error.get());
    if (!problem.empty()) return UsageError(problem);
    return runs_.at(Chosen(&app_).back())();
}

}  // namespace tavrilo::cli

// SPDX-License-Identifier: GPL-3.0-or-later
// The command line of tavrilo-convert: one CLI11 app whose commands each have
// a run function. A command is declared where its run function is, with
// Declare(), its options and OnRun().
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <CLI/CLI.hpp>

namespace tavrilo::cli {

class CommandLine {
public:
    CommandLine();

    // A command under parent (the app itself when null), with the one-line
    // description the help shows.
    CLI::App* Declare(const std::string& name, const std::string& description, CLI::App* parent = nullptr);
    // What the command does once its arguments are parsed; returns the exit status.
    void OnRun(CLI::App* command, std::function<int()> run) { runs_[command] = std::move(run); }

    // Parses the arguments and runs the command they name. Returns the exit
    // status; 2 after a usage error, reported as GNU tools report theirs.
    int Run(int argc, char** argv);
    // What the help says after the commands.
    void Footer(const std::string& text) { app_.footer(text); }
    // The help text, made from the declarations.
    std::string Help() const;

private:
    std::string Diagnose(const std::vector<std::string>& args, const CLI::ParseError* error) const;
    bool VersionFirst(const std::vector<std::string>& args) const;

    CLI::App app_;
    bool help_ = false;
    bool version_ = false;
    std::map<const CLI::App*, std::function<int()>> runs_;
};

// Writes "tavrilo-convert: " and the text with a line end to standard error.
void Err(std::string_view text);
// Reports a wrong command line: the problem, then where to read more. Returns 2.
int UsageError(std::string_view problem);
// text as a whole number from min to max, decimal only (010 is ten); else a
// usage error "OPTION takes a whole number from MIN to MAX, not 'TEXT'" and 2.
int WholeNumber(std::string_view option, const std::string& text, int min, int max, int& n);
// text as one of names; else a usage error "OPTION takes A, B or C, not 'TEXT'" and 2.
int OneOf(std::string_view option, const std::string& text, const std::vector<std::string>& names);

}  // namespace tavrilo::cli

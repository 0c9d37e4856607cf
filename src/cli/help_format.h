// How the terminal lays out its help: headings in Chinese first, and every
// line wrapped at word boundaries (between Chinese characters, or at spaces)
// within 80 columns, a Chinese character taking two.
#pragma once

#include <cstddef>
#include <string>

#include <CLI/CLI.hpp>

namespace fenban::cli {

inline constexpr size_t kHelpWidth = 80;

// Columns the text takes on a terminal.
size_t DisplayWidth(const std::string& text);

// The text in lines of at most `width` columns; lines after the first of
// each paragraph start with `indent` spaces. A word longer than a line
// stands alone on its line.
std::string WrapText(const std::string& text, size_t width, size_t indent);

class HelpFormatter : public CLI::Formatter {
 public:
  HelpFormatter();
  std::string make_group(std::string group, bool isPositional, std::vector<const CLI::Option*> opts) const override;
  std::string make_option(const CLI::Option* opt, bool isPositional) const override;
  std::string make_subcommand(const CLI::App* sub) const override;
  std::string make_description(const CLI::App* app) const override;
  std::string make_footer(const CLI::App* app) const override;
};

}  // namespace fenban::cli

#include "cli/picture_options.h"

#include <CLI/CLI.hpp>

#include <map>

#include "platform/parallel.h"

namespace qorvan::cli {

void addPictureOptions(CLI::App& c, PictureChoices& choices)
{
    const std::map<std::string, Background> backgrounds { { "black", Background::Black },
        { "white", Background::White }, { "none", Background::None } };
    const std::map<std::string, Colour7> colours { { "auto", Colour7::Auto }, { "white", Colour7::White },
        { "black", Colour7::Black } };
    const std::map<std::string, Fit> fits { { "slide", Fit::Slide }, { "drawing", Fit::Drawing } };
    const std::map<std::string, Style> styles { { "exact", Style::Exact }, { "smooth", Style::Smooth } };
    auto name = [](const auto& map, auto value) {
        for (const auto& [k, v] : map)
            if (v == value) return k;
        return std::string();
    };
    c.add_option("--background", choices.background, "black (as the dialogs), white, or none (transparent)")
        ->transform(CLI::CheckedTransformer(backgrounds))
        ->default_str(name(backgrounds, choices.background));
    c.add_option("--colour-7,--color-7", choices.colour7,
         "what slide colour 7 draws as: auto (white on black and none, black on white), white or black")
        ->transform(CLI::CheckedTransformer(colours))
        ->default_str(name(colours, choices.colour7));
    c.add_option("--fit", choices.fit,
         "slide: the slide's whole area fills the picture from its bottom-left corner, as in the dialogs; "
         "drawing: what the slide draws fills it, centred, with a small margin")
        ->transform(CLI::CheckedTransformer(fits))
        ->default_str(name(fits, choices.fit));
    c.add_option("--style", choices.style,
         "exact: one-pixel lines, as the dialogs draw; smooth: antialiased lines and fills")
        ->transform(CLI::CheckedTransformer(styles))
        ->default_str(name(styles, choices.style));
}

void addJobsOption(CLI::App& c, int& jobs)
{
    jobs = defaultJobs();
    c.add_option("-j,--jobs", jobs,
         "work on this many slides at once (default: the number of cores); "
         "the files written are the same whatever the number")
        ->check(CLI::Range(1, 256))
        ->capture_default_str();
}

} // namespace qorvan::cli

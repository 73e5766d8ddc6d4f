// A prompts answerer for tests: records every question and answers from a
// script (OK when the script has run out).
#pragma once

#include "ui/prompts.h"
#include "ui/template.h"

#include <deque>
#include <string>
#include <vector>

namespace qorvan::testing {

struct AskedBox {
    std::string text;
    std::string caption;
    ui::Buttons buttons;
    ui::Icon icon;
    bool owned;
};

class ScriptedPrompts : public ui::Prompts {
public:
    ScriptedPrompts()
        : previous_(ui::setPrompts(this))
    {
    }
    ~ScriptedPrompts() override { ui::setPrompts(previous_); }

    std::deque<int> boxAnswers; // IDOK / IDCANCEL
    std::deque<std::optional<std::string>> fileAnswers; // nullopt: cancelled
    std::vector<AskedBox> boxes;
    std::vector<ui::OpenFileRequest> fileRequests;
    int beeps = 0;

    int messageBox(QWidget* owner, const std::string& text, const std::string& caption, ui::Buttons buttons,
        ui::Icon icon) override
    {
        boxes.push_back({ text, caption, buttons, icon, owner != nullptr });
        if (boxAnswers.empty()) return ui::IDOK;
        int a = boxAnswers.front();
        boxAnswers.pop_front();
        return a;
    }
    std::optional<std::string> openFile(const ui::OpenFileRequest& r) override
    {
        fileRequests.push_back(r);
        if (fileAnswers.empty()) return std::nullopt;
        auto a = fileAnswers.front();
        fileAnswers.pop_front();
        return a;
    }
    void beep() override { ++beeps; }

    std::vector<std::string> texts() const
    {
        std::vector<std::string> out;
        for (const auto& b : boxes)
            out.push_back(b.text);
        return out;
    }

private:
    ui::Prompts* previous_;
};

} // namespace qorvan::testing

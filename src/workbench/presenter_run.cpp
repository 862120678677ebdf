// The presenter's runs: the engine made and fed, errors and stops shown, and the output pane.
#include <chrono>
#include <exception>

#include "text/cp1251.h"
#include "workbench/presenter.h"
#include "workbench/stop_checks.h"
#include "workbench/store_action.h"

namespace zeph::workbench {

using text::operator""_cp;

// --- running ------------------------------------------------------------------------------

void WorkbenchPresenter::ExeButtonClick() {
    RunScript(view_.EditorText(), 1);
}

void WorkbenchPresenter::RunSelection(int first_line, std::string_view text) {
    Guarded([&] { RunScript(text, std::max(first_line, 1)); });
}

void WorkbenchPresenter::RunScript(std::string_view text, int first_line) {
    if (!host_ || !engines_) return;
    std::filesystem::path description = host_->DataFolderPath();
    description += "TellurTlb.xml";
    engines_->LoadDescription(description);
    const Language language = view_.EditorLanguage();

    // A loop that never calls the host can only be ended by killing the host: the unsaved text
    // waits in the rescue file until the run is over, and is offered back at the next opening
    // if the run never ends.
    const bool rescued = RescueUnstoredText();

    // However the run ends, the engine goes, the rescue file with it, and the editor gets the
    // focus back.
    struct Guard {
        WorkbenchPresenter& p;
        bool rescued;
        std::unique_ptr<IScriptEngine> engine;
        ~Guard() {
            engine.reset();
            if (rescued) {
                try {
                    p.store_->TakeRescue();
                } catch (...) {
                    // Left behind, it is offered once at the next opening: nothing is lost.
                }
            }
            p.view_.FocusEditor();
        }
    } guard{*this, rescued, engines_->CreateEngine()};
    IScriptEngine& engine = *guard.engine;

    engine.SetLanguage(LanguageName(language));
    engine.AddApplication();
    const std::string_view keyword = language == Language::VBScript ? "const" : "var";
    engine.SetSiteWindow();
    engine.AddEcho([this](std::string_view line) { AppendOutput(line); });
    if (output_view_) output_view_->MarkErrorLine(0);
    const std::string prelude = engines_->ConstantPrelude(keyword, text);
    const auto started = std::chrono::steady_clock::now();

    // A description without constants gives no statement: the bare keyword would be a syntax
    // error that stops every run.
    // Where the engine has the stop-check item, it runs a copy of the text with a check at each
    // turn of each loop, so that every loop can be stopped; the lines are the same and the
    // engine's columns are mapped back to the user's.
    std::optional<StopCheckedText> checked;
    std::optional<ScriptError> error;
    if (engine.AddStopCheckItem()) {
        const std::string preamble = StopCheckPreamble(language);
        if (!preamble.empty()) error = engine.AddCode(preamble);
        checked = AddStopChecks(language, text);
    }
    if (!error && !prelude.empty()) error = engine.AddCode(prelude);
    if (!error) {
        error = engine.AddCode(checked ? std::string_view(checked->text) : text);
        if (error && checked && error->line > 0)
            error->column = checked->UserColumn(error->line, error->column);
        // Part of the text ran: its lines are counted as the editor counts them.
        if (error && error->line > 0) error->line += first_line - 1;
    }
    if (error) {
        ShowScriptError(*error);
    } else {
        AppendOutput(FinishedText(std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - started)));
    }
}

void WorkbenchPresenter::ShowScriptError(const ScriptError& error) {
    AppendOutput(FailedText(error), CaretPos{error.line, error.column + 1});
    if (output_view_ && !error.stopped) output_view_->MarkErrorLine(error.line);
    if (error.stopped) {
        view_.ShowMessage(std::string(u8"Выполнение скрипта остановлено на строке "_cp) +
                              std::to_string(error.line) + ".",
                          u8"Скрипт остановлен"_cp, MessageIcon::Information, MessageButtons::Ok);
    } else {
        view_.ShowMessage(std::string(u8"Произошла ошибка: "_cp) + ErrorBoxText(error),
                          u8"Ошибка"_cp, MessageIcon::Error, MessageButtons::Ok);
    }
    view_.SetCaret({error.line, error.column + 1});
}

// --- output pane --------------------------------------------------------------------------

void WorkbenchPresenter::AppendOutput(std::string_view text, std::optional<CaretPos> pos) {
    const std::size_t before = output_.Entries().size();
    const std::size_t dropped = output_.Append(text, pos);
    const std::size_t added = output_.Entries().size() + dropped - before;
    if (!output_view_) return;
    if (!output_used_) {
        output_used_ = true;
        output_view_->ShowOutput(true);
    }
    output_view_->OutputAppended(output_, added, dropped);
}

bool WorkbenchPresenter::IsOutputKey(KeyStroke key) {
    return key == F(8) || key == KeyStroke{F(8).key, kShift};
}

void WorkbenchPresenter::HandleOutputKey(KeyStroke key) {
    if (!output_view_) return;
    if (key == F(8)) {
        output_used_ = true;
        output_view_->ShowOutput(!output_view_->OutputShown());
    } else if (key == KeyStroke{F(8).key, kShift}) {
        output_.Clear();
        output_view_->OutputCleared();
    }
}

void WorkbenchPresenter::OutputLineActivated(int index) {
    if (index < 0) return;
    std::optional<CaretPos> pos = output_.PositionAt(static_cast<std::size_t>(index));
    if (!pos) return;
    view_.SetCaret(*pos);
    view_.FocusEditor();
}

}  // namespace zeph::workbench

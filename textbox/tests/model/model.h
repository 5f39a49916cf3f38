#pragma once

// The box's text, caret, selection, clipboard and undo history as a plain QString model.

#include "text_rules.h"

#include <QString>

#include <algorithm>
#include <utility>
#include <vector>

namespace model {

struct Edit {
    qsizetype position;
    QString removed;
    QString inserted;
};

// What the box should hold, told by a QString and the rules of text_rules.h.
struct Model {
    QString text;
    qsizetype caret = 0;
    qsizetype anchor = 0;
    std::vector<Edit> undo, redo;
    bool typing = false; // typing now joins the last undo step
    bool readOnly = false;
    bool composing = false; // an input method shows a composition at the caret
    QString clipboard;
    QString primary; // the selection a middle click pastes, where the platform has one
    int changes = 0; // textChanged signals this step should send

    // Up and Down keep the x where a run of them began: the run's start and keys, replayed in a
    // fresh box, give where the caret goes; a resize or a select all in the run leaves that x
    // unknown.
    enum class Goal { None, Known, Unknown } goal = Goal::None;
    qsizetype runStart = 0;
    std::vector<int> runKeys;

    std::pair<qsizetype, qsizetype> selection() const { return std::minmax(caret, anchor); }
    QString selected() const {
        const auto [from, to] = selection();
        return text.mid(from, to - from);
    }

    void setText(const QString& newText) {
        text = newText;
        caret = anchor = 0;
        undo.clear();
        redo.clear();
        typing = false;
        goal = Goal::None;
        ++changes;
    }

    void setCaret(qsizetype position, bool select) {
        caret = boundaryFrom(text, position);
        if (!select)
            anchor = caret;
    }

    void replace(qsizetype from, qsizetype to, const QString& inserted, bool typed) {
        if (readOnly || (from == to && inserted.isEmpty()))
            return;
        if (typed && typing && from == to && !undo.empty() &&
            undo.back().position + undo.back().inserted.size() == from) {
            undo.back().inserted += inserted;
        } else {
            undo.push_back({from, text.mid(from, to - from), inserted});
            redo.clear();
        }
        typing = typed;
        text.replace(from, to - from, inserted);
        caret = anchor = boundaryFrom(text, from + inserted.size());
        goal = Goal::None;
        ++changes;
    }
    void replaceSelection(const QString& inserted, bool typed) {
        const auto [from, to] = selection();
        replace(from, to, inserted, typed);
    }
    void removeOr(qsizetype from, qsizetype to) {
        if (caret != anchor)
            replaceSelection({}, false);
        else
            replace(std::min(from, to), std::max(from, to), {}, false);
    }

    void undoStep() {
        if (readOnly || undo.empty())
            return;
        Edit edit = undo.back();
        undo.pop_back();
        text.replace(edit.position, edit.inserted.size(), edit.removed);
        caret = anchor = boundaryFrom(text, edit.position + edit.removed.size());
        redo.push_back(std::move(edit));
        typing = false;
        goal = Goal::None;
        ++changes;
    }
    void redoStep() {
        if (readOnly || redo.empty())
            return;
        Edit edit = redo.back();
        redo.pop_back();
        text.replace(edit.position, edit.removed.size(), edit.inserted);
        caret = anchor = boundaryFrom(text, edit.position + edit.inserted.size());
        undo.push_back(std::move(edit));
        typing = false;
        goal = Goal::None;
        ++changes;
    }
    void copy() {
        if (caret != anchor)
            clipboard = selected();
    }
    void cut() {
        if (readOnly || caret == anchor)
            return;
        copy();
        replaceSelection({}, false);
    }
    void keepGoalUnknown() {
        if (goal != Goal::None)
            goal = Goal::Unknown;
    }
    // What the user selected becomes the primary selection, where the platform has one.
    void selectionMade(bool platformHasOne) {
        if (platformHasOne && caret != anchor)
            primary = selected();
    }
};

} // namespace model

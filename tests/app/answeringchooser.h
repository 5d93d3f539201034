#pragma once

#include "app/ui/filechooser.h"

#include <QStringList>

#include <deque>
#include <vector>

// Answers the save dialog like a user would, and notes what it was shown.
struct AnsweringChooser : rg::FileChooser {
    struct Seen {
        QString title, filter, initialName;
    };
    std::deque<QString> answers; // an empty answer cancels
    std::deque<int> filters; // the filter chosen with each answer; none: the chooser does not say
    int chosen = -1;
    std::vector<Seen>* seen;
    explicit AnsweringChooser(std::vector<Seen>* log) : seen(log) {}
    bool execute(QWidget*, const QString& title, const QString& filter, QString& name) override {
        seen->push_back({title, filter, name});
        QString answer = answers.front();
        answers.pop_front();
        chosen = -1;
        if (!filters.empty()) {
            chosen = filters.front();
            filters.pop_front();
        }
        if (answer.isEmpty())
            return false;
        name = answer;
        return true;
    }
    int chosenFilter() const override { return chosen; }
};

// The desktop's "open", noted instead of done.
struct RecordingShell : rg::Shell {
    QStringList* opened;
    explicit RecordingShell(QStringList* log) : opened(log) {}
    bool open(const QString& path) override {
        opened->push_back(path);
        return true;
    }
};

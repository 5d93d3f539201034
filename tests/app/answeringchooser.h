#pragma once

#include "app/filechooser.h"

#include <deque>
#include <vector>

// Answers the save dialog like a user would, and notes what it was shown.
struct AnsweringChooser : rg::FileChooser {
    struct Seen {
        QString title, filter, initialName;
    };
    std::deque<QString> answers; // an empty answer cancels
    std::vector<Seen>* seen;
    explicit AnsweringChooser(std::vector<Seen>* log) : seen(log) {}
    bool execute(QWidget*, const QString& title, const QString& filter, QString& name) override {
        seen->push_back({title, filter, name});
        QString answer = answers.front();
        answers.pop_front();
        if (answer.isEmpty())
            return false;
        name = answer;
        return true;
    }
};

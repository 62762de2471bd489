// SPDX-License-Identifier: MIT
// Plays simulator steps onto the pseudo-terminal on the event loop's timer.
#pragma once

#include <QObject>
#include <QTimer>

#include <cstdio>

#include "DecodeSession.h"
#include "PseudoTerminal.h"
#include "SimSteps.h"

class SimPlayer : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        int periodMs = 250;
        bool once = false;          // stop after one pass over the steps
        long long maxFrames = -1;   // stop after this many frames reached a reader; -1: never
        bool waitForReader = false; // start only once a reader has the line open
        std::FILE* log = nullptr;   // one line per write, or none
    };

    SimPlayer(PseudoTerminal& terminal, dmm::sim::SimSteps steps, Options options,
              QObject* parent = nullptr);

    void start();

signals:
    void finished();

private:
    void waitForReader();
    void runStep();
    void finish();
    void write(const dmm::sim::SimStep& step);
    void logWrite(const dmm::sim::SimStep& step, const char* status);
    void scheduleNext(int milliseconds);

    PseudoTerminal& m_terminal;
    dmm::sim::SimSteps m_steps;
    Options m_options;
    QTimer m_timer;
    std::size_t m_next = 0;
    long long m_framesDelivered = 0;
    dmm::sim::DecodeSession m_logDecoder;
};

// SPDX-License-Identifier: MIT
#include "BackgroundWork.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>

#include "MsgForm.h"

namespace dmm {

namespace {

constexpr qint64 kSilentMs = 500;
constexpr int kSteps = 64;

} // namespace

LateProgress::LateProgress(TMsgForm* window, const QString& message, bool abortable)
    : m_window(window), m_message(message), m_abortable(abortable)
{
    m_elapsed.start();
}

LateProgress::~LateProgress()
{
    if (!m_shown)
        return;
    m_window->hide();
    m_window->bbtnAbort->show();
    m_window->askBeforeAbort = true;
}

void LateProgress::update(qint64 done, qint64 total)
{
    if (!m_window || m_elapsed.elapsed() < kSilentMs)
        return;
    if (!m_shown) {
        // Work that cannot be aborted half-way has no Abort button.
        m_shown = true;
        m_window->bbtnAbort->setVisible(m_abortable);
        m_window->askBeforeAbort = !m_abortable;
        m_window->Label1->clear();
        m_window->ProgressBar->setRange(0, kSteps);
        m_window->MsgPanel->setText(m_message);
        m_window->show();
        m_window->raise();
    }
    const qint64 step = total > 0 ? done * kSteps / total : 0;
    m_window->ProgressBar->setValue(int(std::clamp<qint64>(step, 0, kSteps)));
}

} // namespace dmm

// SPDX-License-Identifier: MIT
// The numbered notifications between the windows (the platform's first user
// message number plus 1 to 12). They carry an index at most, never a pointer.
#pragma once

#include <QEvent>

class QObject;

namespace dmm {

enum ViewMessage : int
{
    WM_DMM_UNUSED_1025 = 1025,
    WM_DMM_NEWDATA = 1026,
    WM_DMM_UNUSED_1027 = 1027,
    WM_DMM_UNUSED_1028 = 1028,
    WM_DMM_UNLINKED = 1029,
    WM_DMM_UNLINK = 1030,
    WM_DMM_LINK = 1031,
    WM_LIST_RESET = 1032,
    WM_LIST_UNUSED_1033 = 1033,
    WM_LIST_ADD = 1034,
    WM_LIST_UNUSED_1035 = 1035,
    WM_BUSY_END = 1036,
};

class ViewMessageEvent : public QEvent
{
public:
    ViewMessageEvent(ViewMessage message, int wParam = 0)
        : QEvent(static_cast<QEvent::Type>(message)), m_wParam(wParam)
    {
    }
    ViewMessage message() const { return static_cast<ViewMessage>(type()); }
    int wParam() const { return m_wParam; }

private:
    int m_wParam;
};

// The view message an event carries, or 0 when it is no view message.
int viewMessageOf(const QEvent* event);

// Posted: handled later from the event loop. Sent: handled before this returns.
void postViewMessage(QObject* receiver, ViewMessage message, int wParam = 0);
bool sendViewMessage(QObject* receiver, ViewMessage message, int wParam = 0);

} // namespace dmm

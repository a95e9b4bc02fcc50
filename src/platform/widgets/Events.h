// SPDX-License-Identifier: GPL-3.0-or-later
// Event types shared by the components: a std::function member, raised only
// when assigned.
#pragma once

#include <QObject>
#include <functional>

// Notification with the sending component.
using TNotifyEvent = std::function<void(QObject* sender)>;

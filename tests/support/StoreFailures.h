// SPDX-License-Identifier: MIT
// A recorder store's view that keeps only the temporary-file write failures
// it is told of, as "PATH: REASON".
#pragma once

#include <QStringList>

#include "RecorderStore.h"

struct StoreFailures : dmm::RecorderStoreView
{
    QStringList failures;
    void redrawShownPage() override {}
    void scaleChanged() override {}
    void showMaxMin(bool) override {}
    void chartPointAppended(const dmm::TARecord&) override {}
    void listAdded(int) override {}
    void progressStepped() override {}
    void statusChanged() override {}
    void controlsChanged() override {}
    void tempFileWriteFailed(const QString& path, const QString& reason) override
    {
        failures << path + QStringLiteral(": ") + reason;
    }
};

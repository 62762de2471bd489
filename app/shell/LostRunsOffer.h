// SPDX-License-Identifier: MIT
// Offers the runs that did not end normally back to the user once the
// program has started: open the newest (or another) in the recorder, leave
// them, or delete
// them; and once an opened run is saved, offers to delete the file it came from.
#pragma once

#include <QObject>
#include <QString>

#include <optional>

#include "LostRuns.h"

namespace dmm {

class TGraphicalForm;

class LostRunsOffer : public QObject
{
    Q_OBJECT
public:
    LostRunsOffer(TGraphicalForm* recorder, QString directory, QObject* parent = nullptr);
    ~LostRunsOffer() override;

    // Looks for lost runs and, if there are any, asks once what to do with them.
    void offer();

    // The run opened in the recorder whose file is offered for deletion once saved.
    const std::optional<LostRun>& openedRun() const { return m_opened; }

private:
    void openRun(const LostRun& run);
    void deleteRuns(const QList<LostRun>& runs);
    void onRecorderSaved(const QString& savedPath);
    // The opened run's file stays locked while its readings are unsaved, so
    // another program neither offers nor deletes it meanwhile.
    void holdOpenedRun(const QString& path);
    void releaseOpenedRun();

    TGraphicalForm* m_recorder;
    QString m_directory;
    std::optional<LostRun> m_opened;
    int m_heldDescriptor = -1;
    QString m_heldPath;
};

} // namespace dmm

// The window's Start handler and recalculation: reads the panel values into the request of the
// visible panel, runs its job and shows the outcome; keeps the derived numbers up to date.
#pragma once

#include <functional>

#include "app/PanelValues.h"
#include "jobs/JobRequests.h"
#include "jobs/TavmorJobs.h"

/// Bound to the window's jobs and panel values for the window's life. Window thread only.
class TStartHandler {
public:
    /// changed is called after the recalculation wrote derived numbers into the panel.
    TStartHandler(TJobs& jobs, TPanelValues& panel, std::function<void()> changed = {});

    /// Start: clears the status, refuses a browse folder that no longer exists, runs the job of
    /// the visible panel and shows "Operation aborted" or "Operation completed successfully".
    void btStartClick();
    /// Recomputes the derived panel numbers after the field `sender` changed.
    void jvSplitWidthChange(TPanelField sender);
    /// The output part of every request: the kind of the chosen radio button and the folder.
    TOutputRequest OutputRequest() const;

private:
    TJobs& Jobs;
    TPanelValues& Panel;
    std::function<void()> Changed;
};

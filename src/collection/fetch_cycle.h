#pragma once

namespace vq {

// The main window's created event: a new run counts from zero.
void onMainWindowCreated();

// The fetch button: asks the raffle service for one code and appends its entry to the page.
void onFetchClicked();

}  // namespace vq

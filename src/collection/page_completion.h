#pragma once

namespace vq {

// The finish button: appends the footer, saves the page as "1.html" beside the program and opens
// it. A failed save leaves the page, the count and the old file as they were.
void onFinishClicked();

}  // namespace vq

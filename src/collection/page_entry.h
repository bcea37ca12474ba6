#pragma once

#include "core/text.h"

namespace vq {

// One entry of the page: the QR image of `code` on the image host, then its expiry and the code
// in clear. The reply is untrusted: the code is percent-encoded in the image address and both
// values are HTML-escaped in the text, so that a page of plain alphanumeric codes is unchanged.
Text pageEntry(const Text& code, const Text& expiry);

// Every byte outside A-Z a-z 0-9 - . _ ~ written as %XX in upper-case hex.
Text percentEncode(const Text& text);

// & < > " ' written as &amp; &lt; &gt; &quot; &#39;; every other byte, GBK included, as it is.
Text escapeHtml(const Text& text);

}  // namespace vq

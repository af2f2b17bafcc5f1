// Character data in the XML result pages of the desktop search interface.
#pragma once

#include <string>
#include <string_view>

namespace tarvex {

// The text with "&", "<", ">" and the double quote written as references.
std::string EscapeXmlText(std::string_view text);

// The text with the predefined entities (&amp; &lt; &gt; &quot; &apos;) and
// numeric character references (&#38; &#x26;) replaced by what they stand
// for, a numeric one as UTF-8. A reference that is none of these, or that
// names no character (0, a surrogate, beyond U+10FFFF), stays as written.
std::string DecodeXmlReferences(std::string_view text);

}  // namespace tarvex

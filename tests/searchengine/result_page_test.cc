#include <gtest/gtest.h>
#include <openssl/evp.h>

#include "search/search_result_list.h"
#include "searchengine/base64.h"
#include "searchengine/recoll_query.h"
#include "searchengine/result_page.h"
#include "searchengine/text_encoding.h"

namespace tarvex {
namespace {

// Base64 as the engine's query tool prints it, by OpenSSL as the reference.
std::string Encode(const std::string& bytes) {
  std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  out.resize(static_cast<std::size_t>(EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                                      reinterpret_cast<const unsigned char*>(bytes.data()),
                                                      static_cast<int>(bytes.size()))));
  return out;
}

std::string ResultLine(const std::vector<std::string>& fields) {
  std::string line;
  for (const std::string& f : fields) line += Encode(f) + " ";
  return line + "\n";
}

TEST(RecollOutputTest, TotalFromEitherCountLineAndFieldsDecoded) {
  const std::string hit = ResultLine({"file:///d/a b.txt", "text/plain", "", "a b.txt", "", "0 : x\n"});
  std::optional<EngineAnswer> first_page =
      ParseRecollOutput("Recoll query: Query(x)\n12 results (printing  2 max):\n" + hit + hit, 2);
  ASSERT_TRUE(first_page);
  EXPECT_EQ(first_page->total, 12u);
  ASSERT_EQ(first_page->hits.size(), 2u);
  EXPECT_EQ(first_page->hits[0].url, "file:///d/a b.txt");
  EXPECT_EQ(first_page->hits[0].file_name, "a b.txt");
  EXPECT_EQ(first_page->hits[0].abstract, "0 : x\n");

  // A later window: "at most R from first F" tells R + F + count.
  std::optional<EngineAnswer> later = ParseRecollOutput("Printing at most 280 results from first 10\n" + hit, 10);
  ASSERT_TRUE(later);
  EXPECT_EQ(later->total, 300u);
  EXPECT_EQ(ParseRecollOutput("Printing at most -7 results from first 5\n", 5)->total, 3u);
  EXPECT_EQ(ParseRecollOutput("0 results\n", 1)->total, 0u);

  EXPECT_FALSE(ParseRecollOutput("Cant open database\n", 1));
  EXPECT_FALSE(ParseRecollOutput("3 results\n" + Encode("only") + " two\n", 1)) << "too few fields";
  EXPECT_FALSE(ParseRecollOutput("3 results\n" + ResultLine({"a", "b", "c", "d", "e", "f"}).replace(0, 1, "*"), 1));
  EXPECT_EQ(DecodeBase64("YQ"), "a");
  EXPECT_FALSE(DecodeBase64("Y==="));
}

TEST(ResultPageTest, ThePageReadsBackThroughTheServersScanner) {
  const std::vector<EngineHit> hits = {
      {"file:///home/ann/Q&A <1>.txt", "text/plain", "", "Q&A <1>.txt", "", "3 : a &lt;b&gt; &amp; c\n4 : second\r\n"},
      {"file:///home/ann/mail/inbox", "message/rfc822", "Re: \"lunch\"\nplans", "inbox", "12", ""},
      {"https://example.com/p", "text/html", "Page", "", "", ""},
  };
  const std::string page = RenderResultPage(1234, hits);
  SearchResultList list;
  list.Parse(page);
  EXPECT_EQ(list.GetTotal(), 1234);
  ASSERT_EQ(list.Results().size(), 3u) << page;
  const std::vector<SearchResult>& found = list.Results();
  EXPECT_EQ(found[0].category, "file");
  EXPECT_EQ(found[0].url, "/home/ann/Q&A <1>.txt");
  EXPECT_EQ(found[0].title, "Q&amp;A &lt;1&gt;.txt") << "no title: the file name";
  EXPECT_EQ(found[0].snippet, "a &lt;b&gt; &amp; c ... second");
  EXPECT_EQ(found[1].category, "email");
  EXPECT_EQ(found[1].url, "/home/ann/mail/inbox") << "a message gives its mailbox";
  EXPECT_EQ(found[1].title, "Re: &quot;lunch&quot; plans");
  EXPECT_EQ(found[2].category, "web");
  EXPECT_EQ(found[2].url, "https://example.com/p");
}

TEST(TextEncodingTest, TextThatIsNotUtf8IsReadAsWindows1252) {
  EXPECT_EQ(AsUtf8("caf\xC3\xA9"), "caf\xC3\xA9");
  EXPECT_EQ(AsUtf8("caf\xE9 \x80\x81"), "caf\xC3\xA9 \xE2\x82\xAC\xC2\x81");
  EXPECT_EQ(AsUtf8("\xC0\xAF"), "\xC3\x80\xC2\xAF") << "an overlong form is not UTF-8";
  EXPECT_EQ(AsUtf8("\xED\xA0\x80"), "\xC3\xAD\xC2\xA0\xE2\x82\xAC") << "nor is a surrogate";
}

}  // namespace
}  // namespace tarvex

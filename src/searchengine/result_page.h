// The XML page the search interface answers with, in the line layout that
// its reader relies on (search/search_result_list.h):
//
//   <?xml version="1.0" encoding="UTF-8"?>
//   <results count="TOTAL">
//   <result>
//   <category>file</category>
//   <title>Minutes</title>
//   <url>/home/ann/Documents/minutes.txt</url>
//   <snippet>... the budget ...</snippet>
//   </result>
//   </results>
//
// Texts are XML-escaped and never hold a line break: control characters
// become spaces. Category: "email" for mail (message/rfc822, text/x-mail),
// "web" for an http(s) address, "file" for everything else. Url: a file's
// local path, without "file://"; a document inside another (a message in a
// mailbox, a member of an archive) gives the path of the file that holds it.
// Title: the document's title, else its file name. Snippet: the engine's
// snippets without their page numbers, joined by " ... ".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "searchengine/recoll_query.h"

namespace tarvex {

std::string RenderResultPage(std::uint32_t total, const std::vector<EngineHit>& hits);

}  // namespace tarvex

#pragma once
// A task, its script evaluator and the reject settings prepared as the page analysis prepares them
// before it runs the tag scans over one page.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "analysis/JsClass.h"
#include "analysis/LinkScanner.h"
#include "config/Setting.h"
#include "task/Task.h"
#include "task/UrlRecord.h"

namespace qm::testing {

inline constexpr const char* kPage = "http://h/d/p.html";

class ScanFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    savedRejectOn_ = RejectStringsOn;
    savedRejects_ = RejectStrings.Items();
    RejectStringsOn = false;
    task.SetStartUrl(kPage);
    if (!task.Script) task.Script = std::make_shared<TJsClass>();
  }
  void TearDown() override {
    RejectStringsOn = savedRejectOn_;
    RejectStrings.Assign(savedRejects_);
  }

  // Runs `scan(task, base, page, links, scratch)` over `page` as found at `pageUrl` and returns
  // the rewritten page.
  template <class Scan>
  std::string Run(Scan scan, std::string page, const std::string& pageUrl = kPage) {
    task.Script->Prepare(&task, task.StartUrl(), pageUrl, page);
    scan(task, pageUrl, page, links, scratch);
    return page;
  }

  // ScanTag for one tag kind.
  std::string RunTag(std::string page, std::string attribute, std::string endMark,
                     std::string tagStart, bool anyHost = false, int hostOnly = 0,
                     const std::string& pageUrl = kPage) {
    return Run(
        [&](TTask& t, std::string_view base, std::string& p, TLinkList& l, TScanScratch& s) {
          ScanTag(t, base, p, attribute, endMark, tagStart, anyHost, hostOnly, l, s);
        },
        std::move(page), pageUrl);
  }
  std::string RunImgSrc(std::string page) { return RunTag(std::move(page), "src", ">", "<img "); }

  // Adds a URL entry to the task's table; returns its index.
  std::int32_t AddEntry(const std::string& url) {
    TExtendUrlRec rec = EmptyUrlRec();
    rec.Url.Set(url);
    rec.Status = Saved;
    return task.AddUrl(rec);
  }

  TTask task;
  TLinkList links;
  TScanScratch scratch;

 private:
  bool savedRejectOn_ = true;
  std::vector<std::string> savedRejects_;
};

using Links = std::vector<std::string>;

// The anchor scan with the task's scope, for ScanFixture::Run.
inline constexpr auto kAnchors = [](TTask& t, std::string_view b, std::string& p, TLinkList& l,
                                    TScanScratch& s) {
  ScanAnchors(t, b, p, l, t.Settings().Scope, s);
};

}  // namespace qm::testing

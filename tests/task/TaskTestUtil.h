#pragma once
// Small helpers shared by the URL table tests.
#include <string>

#include "task/Task.h"

namespace qm::test {

// A record as the analysis thread fills it before AddUrl.
inline TExtendUrlRec UrlRec(const std::string& url, std::int32_t status = NotDownloaded,
                            std::int32_t size = 0) {
  TExtendUrlRec rec = EmptyUrlRec();
  rec.Url.Set(url);
  rec.Status = status;
  rec.Size = size;
  rec.OwnBase = 1;
  // Garbage in the link fields must not survive AddUrl.
  rec.ParentId = rec.NextId = rec.PrevId = rec.FirstChildId = rec.LastChildId = 77;
  rec.RedirectId = 77;
  return rec;
}

}  // namespace qm::test

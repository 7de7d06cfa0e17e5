#include "task/UrlRecord.h"

namespace qm {

std::string_view StatusWord(std::int32_t status) {
  switch (status) {
    case NotDownloaded:
      return "未下载";
    case Downloaded:
      return "已下载";
    case Saved:
      return "已保存";
    case DownloadError:
      return "错误";
    case ErrorButOk:
      return "错误但下载200 OK";
    default:
      return "未知状态";
  }
}

}  // namespace qm

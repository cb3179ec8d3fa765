// The program's numbered texts: messages, log lines, report headings and window texts, each
// looked up by its number.
#pragma once

#include <string>

namespace tsl {

/// The text with number `id`; empty when the table has none.
std::string TableText(int id);

/// Numbers of the texts that code refers to by name.
namespace text_id {
inline constexpr int kLogPruneEmptySource = 2055;
inline constexpr int kMyRegistry = 2060;
inline constexpr int kFoundFilesInFolders = 2114;
inline constexpr int kInvalidMonth = 2119;
inline constexpr int kInvalidDay = 2120;
inline constexpr int kInvalidYear = 2121;
inline constexpr int kInvalidDate = 2122;
inline constexpr int kFoundFilesInOneFolder = 2132;
inline constexpr int kCompanyKey = 2139;
inline constexpr int kComparisonTitle = 2143;
inline constexpr int kLogHeaderSynchronize = 2149;  // 2149 + operation code up to 6
inline constexpr int kLogHeaderRecreate = 2155;     // 2148 + 7
inline constexpr int kLogHeaderDeleteEmpty = 2156;  // 2148 + 8
inline constexpr int kOperationComplete = 2157;
inline constexpr int kConfirmExistingLine = 2165;
inline constexpr int kConfirmReplacementLine = 2166;
inline constexpr int kUsage = 2167;
inline constexpr int kColumnFileName = 2200;
inline constexpr int kColumnSize = 2201;
inline constexpr int kColumnModified = 2202;
inline constexpr int kColumnAttrib = 2203;
inline constexpr int kCreatingReport = 2309;
inline constexpr int kOnlyInDir1 = 2316;
inline constexpr int kOnlyInDir2 = 2317;
inline constexpr int kIdentical = 2318;
inline constexpr int kFile1Newer = 2319;
inline constexpr int kFile2Newer = 2320;
inline constexpr int kDifferent = 2321;
inline constexpr int kConfirmDelete = 2326;
inline constexpr int kLogCopied = 2327;
inline constexpr int kLogCopyError = 2328;
inline constexpr int kLogCopyAborted = 2329;
inline constexpr int kLogDeleted = 2330;
inline constexpr int kLogDeleteError = 2331;
inline constexpr int kLogMoved = 2332;
inline constexpr int kLogMoveError = 2333;
inline constexpr int kLogMoveAborted = 2334;
inline constexpr int kLogRenamed = 2335;
inline constexpr int kLogRenameError = 2336;
inline constexpr int kDeleteFilesTitle = 2343;
inline constexpr int kCopyFilesTitle = 2344;
inline constexpr int kMoveFilesTitle = 2345;
inline constexpr int kColumnDescription = 2367;
inline constexpr int kMatchDuplicates = 2501;
inline constexpr int kConfirmReadOnly = 2502;
inline constexpr int kFileOperationsErrors = 2503;
inline constexpr int kCancelRemainingActions = 2509;
inline constexpr int kActionsProcessed = 2510;
inline constexpr int kErrorParsing = 3009;
inline constexpr int kDefaultPrinter = 3033;
inline constexpr int kClipboard = 3034;
inline constexpr int kRegistryChanges = 4001;
inline constexpr int kRegistryFindStatistics = 4002;
inline constexpr int kRegistryReplaceStatistics = 4003;
inline constexpr int kDisplayIdentical = 40045;
inline constexpr int kDisplayDifferent = 40046;
inline constexpr int kDisplayOnlyInOne = 40047;
inline constexpr int kBinaryCompare = 40068;
}  // namespace text_id

}  // namespace tsl

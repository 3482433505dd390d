// Method texts and the API function names derived from method and template.
#include "sdk/api/function_name.h"

#include <gtest/gtest.h>

#include <string>

#include "sdk/api/method_text.h"

namespace Vela::Sdk {
namespace {

TEST(MethodText, NamesTheSevenMethodsAndNothingElse) {
  const struct {
    int32_t code;
    std::string text;
  } rows[] = {
      {kMethodNone, ""},
      {kMethodDelete, "DELETE"},
      {kMethodGet, "GET"},
      {kMethodHead, "HEAD"},
      {kMethodOptions, "OPTIONS"},
      {kMethodPatch, "PATCH"},
      {kMethodPost, "POST"},
      {kMethodPut, "PUT"},
      // A custom method's name travels beside the code.
      {kMethodCustom, ""},
      {9, ""},
      {-1, ""},
  };
  for (const auto& row : rows) EXPECT_EQ(MethodText(row.code), row.text) << row.code;
}

TEST(MethodText, UnknownRequestCodesAreHandledAsNoMethod) {
  EXPECT_EQ(RequestMethodCode(0), kMethodNone);
  EXPECT_EQ(RequestMethodCode(1), kMethodDelete);
  EXPECT_EQ(RequestMethodCode(8), kMethodCustom);
  EXPECT_EQ(RequestMethodCode(9), kMethodNone);
  EXPECT_EQ(RequestMethodCode(-2), kMethodNone);
}

TEST(MakeFunctionName, DerivesCamelCaseFromMethodAndTemplate) {
  const struct {
    int32_t method;
    const char* urlTemplate;
    const char* name;
  } rows[] = {
      {kMethodGet, "/ark-simple-dialog-messages/v1/messages", "GetArkSimpleDialogMessagesV1Messages"},
      {kMethodPost, "/ark-simple-dialog-messages/v1/messages", "PostArkSimpleDialogMessagesV1Messages"},
      {kMethodDelete, "/ark-simple-dialog-messages/v1/messages/{messageId}",
       "DeleteArkSimpleDialogMessagesV1MessagesByMessageId"},
      {kMethodOptions, "/a", "OptionsA"},
      // Doubled separators and a closing brace leave no empty word and no stray character.
      {kMethodGet, "//a//b/{id}", "GetABById"},
      {kMethodGet, "/a/{id}}", "GetAById"},
      // "+" is a separator, "#" is not.
      {kMethodPut, "/a/{+rest}/{#frag}", "PutAByRestBy#frag"},
      // Every separator starts a word; only ASCII letters change case; a digit ends the capital.
      {kMethodGet, "/x!y+z-w.v_u", "GetXYZWVU"},
      {kMethodGet, "/1abc/éa", "Get1abcéa"},
      {kMethodGet, "/a{b}c", "GetAByBc"},
      {kMethodPatch, "", "Patch"},
      // No method word for method 0 and custom methods.
      {kMethodNone, "/v1/items", "V1Items"},
      {kMethodCustom, "/v1/items", "V1Items"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(MakeFunctionName(row.method, row.urlTemplate), row.name) << row.urlTemplate;
  }
}

TEST(MakeFunctionName, TurnsAShortNameIntoTheApiPrefix) {
  EXPECT_EQ(MakeFunctionName("ark-simple-dialog-messages"), "ArkSimpleDialogMessages");
  EXPECT_EQ(MakeFunctionName(""), "");
  EXPECT_EQ(MakeFunctionName("--a"), "A");
}

}  // namespace
}  // namespace Vela::Sdk

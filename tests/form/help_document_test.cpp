// The help button opens "help.doc" beside the host workbook.
#include <gtest/gtest.h>

#include "form/form_routines.h"
#include "form/host_fixture.h"

namespace fenban::form {
namespace {

class HelpDocumentTest : public ::testing::Test, public testing::HostFixture {};

TEST_F(HelpDocumentTest, EachClickOpensTheDocumentOnceMore) {
  OpenHelpDocument(app);
  OpenHelpDocument(app);
  EXPECT_EQ(services.openedDocuments, (std::vector<std::string>{"/host/help.doc", "/host/help.doc"}));
}

TEST_F(HelpDocumentTest, AMissingDocumentIsARunTimeError) {
  services.failOpenDocument = true;
  EXPECT_THROW(OpenHelpDocument(app), host::RuntimeError);
  EXPECT_TRUE(services.openedDocuments.empty());
  EXPECT_TRUE(services.messages.empty());  // shown by MyFun's error box, not here
}

}  // namespace
}  // namespace fenban::form

// Autosearch against the virtual gateway, whose chip models are written from the datasheets
// independently of the catalogue: every parallel-mode chip is found as itself (a NIIET part as
// its AVR twin; a serial-only chip as unknown), and the catalogue agrees with the models on sizes and factory values.
#include "chips/autosearch.h"

#include "log/operationlog.h"
#include "sim/simchips.h"
#include "sim/simlink.h"
#include "views/workspace.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(AutosearchSim, FindsEveryParallelChipAsItsCatalogueEntry)
{
    for (const sim::SimChipModel& model : sim::SimChipModels()) {
        SCOPED_TRACE(std::string(model.name));
        sim::SimLink link(model, /*virtualTime=*/true);
        ASSERT_TRUE(link.Open(QStringLiteral("virtual")).status == OpenStatus::Ok);
        OperationLog log;
        Workspace work;
        work.NiietMode() = 1;
        const ChipEntry* found = Autosearch(ProgContext{link, log, 0, link.Sleeper()}, work.chips,
                                            [&work](SignatureCode c) { work.ShowChip(c); });
        const QString last = log.Lines().isEmpty() ? QString() : log.Lines().back();
        if (model.interface != sim::SimInterface::Parallel) {
            // A chip without the parallel interface leaves the data bus floating high.
            EXPECT_EQ(found, nullptr);
            EXPECT_EQ(last, QStringLiteral("Selected chip is  unknown"));
            EXPECT_EQ(work.CurrentChip().SignatureCode, 0);
            continue;
        }
        ASSERT_NE(found, nullptr) << qPrintable(log.Lines().join(QLatin1Char('\n')));
        EXPECT_EQ(found->code, model.Code());
        EXPECT_FALSE(found->niiet);
        EXPECT_EQ(work.NiietMode(), 0);
        EXPECT_EQ(last, QStringLiteral("Selected chip is  ") + QString::fromUtf8(found->name.data(), qsizetype(found->name.size())));
    }
}

TEST(AutosearchSim, CatalogueAgreesWithTheChipModels)
{
    for (const ChipEntry& e : ChipCatalogue()) {
        SCOPED_TRACE(std::string(e.name));
        const sim::SimChipModel* model = sim::FindSimChip(e.name);
        ASSERT_NE(model, nullptr);
        EXPECT_EQ(model->Code(), e.code);
        EXPECT_EQ(model->flashBytes, e.flashSize);
        EXPECT_EQ(model->eepromBytes, e.eepromSize);
        EXPECT_EQ(model->calibrationCount, e.calibrationCount);
        EXPECT_EQ(model->factoryCount, e.factoryCount);
        for (std::size_t i = 0; i < e.factoryCount; ++i)
            EXPECT_EQ(model->factory[i], e.factory[i]) << i;
        EXPECT_EQ(model->niiet, e.niiet);
    }
}

}  // namespace
}  // namespace velmora

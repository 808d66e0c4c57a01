#pragma once
// The Lock & Fuses dialog: the current chip's lock and fuse bytes as columns of check boxes
// (a checked box is a programmed bit, 0), generated from the chip's layout; Read and Write
// run through the chip's family unit on the worker thread. The logic lives in fuses/; this
// window shows its box state and asks the questions.

#include "chips/imageplacer.h"
#include "fuses/fuseboxes.h"
#include "fuses/fusefields.h"
#include "ops/chipjob.h"
#include "session/session.h"

#include <QDialog>

#include <array>
#include <functional>

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;

namespace velmora {
class FuseFieldsPanel;
}

namespace velmora {

struct ChipState;

class TLockFusesForm : public QDialog {
    Q_OBJECT
public:
    // What the dialog needs from the window that opens it.
    struct Host {
        ChipState* chips = nullptr;  // CurrentChip and NiietMode of the run
        // Runs a command on a copy of the current chip on the worker thread, while the progress
        // window marks the work, and takes the copy back (Form1::RunChipJob).
        ChipJobRunner runChipJob;
        // The window's Yes/No question, caption "Warning", No as the default; true for Yes.
        std::function<bool(const QString& text)> ask;
        // The same question asked from a running job (Restore factory fuses' erase); ask
        // unless set, for jobs that run on the dialog's thread.
        std::function<bool(const QString& text)> askFromJob;
        // The check of the chip in the socket before a write; none unless set.
        SocketCheck socket;
        // A warning to acknowledge; a message box unless set.
        std::function<void(const QString& text)> tell;
        // Lock and fuse bytes of the last image file loaded, offered by Button4; may be null.
        const FileFuseBytes* fileFuses = nullptr;
    };

    TLockFusesForm(Host host, QWidget* parent = nullptr);

    // The buttons' handlers.
    void OKButtonClick();
    void Button1Click();  // Read Lock & Fuses
    void Button2Click();  // Write Lock & Fuses
    void Button3Click();  // Restore read values
    void Button4Click();  // Values from the file: the loaded file's bytes into the boxes
    void Button5Click();  // Restore factory fuses: the rescue of a chip its fuses shut off

    // The box state shown.
    const FuseBoxes& Boxes() const { return boxes_; }

    // Controls, with the form's names.
    QFrame* Panel1;
    std::array<QGroupBox*, FuseGroupCount> GroupBox{};  // GroupBox1 .. GroupBox4
    std::array<QCheckBox*, FuseBoxCount> CheckBox{};    // CheckBox1 .. CheckBox32
    QPushButton *OKButton, *Button1, *Button2, *Button3, *Button4, *Button5;
    // Each shown group's byte as the boxes now say ("0xE1"), and what a tick means.
    std::array<QLabel*, FuseGroupCount> ValueLabel{};
    QLabel* LegendLabel;
    FuseFieldsPanel* Fields;  // the named fields beside the bits

    // Escape and the window's close button cancel: the boxes' changes are dropped, after a
    // question when there are any.
    void reject() override;
    // A box differs from the values last shown (opened, read, written or restored).
    bool BoxesChanged() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The box state into the widgets, and the user's checks back into the box state.
    void ShowBoxes();
    void ShowValues();
    void TakeChecks();
    FuseSlots Fuses();
    // The values the boxes show now (FuseDefaults with the boxes' slots replaced).
    std::array<std::uint8_t, 8> Edited() const;
    void FieldChosen(const FuseField* field, std::uint8_t code);

    Host host_;
    const FuseLayout* layout_ = nullptr;
    FuseBoxes boxes_;
    std::span<const FuseField> fields_;
};

}  // namespace velmora

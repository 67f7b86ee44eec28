#pragma once
// A drop-down whose items carry the controller's codes. The codes come from
// a registered code table named by the property "codeTable", or from the
// property "codes" ("0;1;2;3"), one per item; an item without a code carries
// its index. The property "shownOnlyCodes" ("5") names codes the ring shows
// when the controller holds them but never offers the operator.
#include <QComboBox>

#include <string>
#include <utility>
#include <vector>

// Code tables a ring can name with its "codeTable" property instead of
// listing items and codes itself.
void registerRingTable(const std::string& name, std::vector<std::pair<int, std::string>> items);

class Ring : public QComboBox {
    Q_OBJECT

  public:
    explicit Ring(QWidget* parent = nullptr);

    // Reads the "codes" property into the items; the loader calls this once
    // the file's items exist.
    void applyCodes();
    // The operator can pick the item with this code.
    bool offers(int code) const;
    int codeAt(int index) const;
    int indexOfCode(int code) const;
    int currentCode() const;
    // False, with the selection unchanged, when no item carries the code.
    bool selectCode(int code);
    // Selects the item with the code; a code no item carries is shown as
    // itself ("99 (unknown)") in an extra item the operator cannot pick,
    // which goes again once a known code is shown or picked.
    void showCode(int code);
    bool showsUnknownCode() const;
    // No item at all: the ring shows no value (no_value.h).
    void showNoItem();
    // Relabels the item carrying the code, or adds one for it among the
    // items in order of their codes. Signals are not emitted.
    void setCodeText(int code, const QString& text);

  private:
    void fillItems();
    void dropUnknownItem();
};

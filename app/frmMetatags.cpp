#include "frmMetatags.h"

#include <QPushButton>

frmMetatags::frmMetatags() {
    connect(cmdSearch.button(), &QPushButton::clicked, this, &frmMetatags::cmdSearch_Click);
    connect(cmdRecheck.button(), &QPushButton::clicked, this, &frmMetatags::cmdRecheck_Click);
    Form_Load();
}

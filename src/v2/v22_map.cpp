// SPDX-License-Identifier: MIT
// ID3v2.2 three-character frame identifiers and their ID3v2.3 successors.
#include "tag/bytes.h"
#include "tag/sorted_table.h"
#include "v2/v2.h"

namespace kelid3::detail {
namespace {

struct Successor {
    uint32_t key;  // three characters, low 24 bits
    uint32_t id;   // four characters
};

// Every frame of the ID3v2.2 list but CRM (encrypted meta frame), which has
// no successor. Sorted by key.
constexpr Successor kSuccessors[] = {
    {threecc("BUF"), fourcc("RBUF")}, {threecc("CNT"), fourcc("PCNT")},
    {threecc("COM"), fourcc("COMM")}, {threecc("CRA"), fourcc("AENC")},
    {threecc("EQU"), fourcc("EQUA")}, {threecc("ETC"), fourcc("ETCO")},
    {threecc("GEO"), fourcc("GEOB")}, {threecc("IPL"), fourcc("IPLS")},
    {threecc("LNK"), fourcc("LINK")}, {threecc("MCI"), fourcc("MCDI")},
    {threecc("MLL"), fourcc("MLLT")}, {threecc("PIC"), fourcc("APIC")},
    {threecc("POP"), fourcc("POPM")}, {threecc("REV"), fourcc("RVRB")},
    {threecc("RVA"), fourcc("RVAD")}, {threecc("SLT"), fourcc("SYLT")},
    {threecc("STC"), fourcc("SYTC")}, {threecc("TAL"), fourcc("TALB")},
    {threecc("TBP"), fourcc("TBPM")}, {threecc("TCM"), fourcc("TCOM")},
    {threecc("TCO"), fourcc("TCON")}, {threecc("TCR"), fourcc("TCOP")},
    {threecc("TDA"), fourcc("TDAT")}, {threecc("TDY"), fourcc("TDLY")},
    {threecc("TEN"), fourcc("TENC")}, {threecc("TFT"), fourcc("TFLT")},
    {threecc("TIM"), fourcc("TIME")}, {threecc("TKE"), fourcc("TKEY")},
    {threecc("TLA"), fourcc("TLAN")}, {threecc("TLE"), fourcc("TLEN")},
    {threecc("TMT"), fourcc("TMED")}, {threecc("TOA"), fourcc("TOPE")},
    {threecc("TOF"), fourcc("TOFN")}, {threecc("TOL"), fourcc("TOLY")},
    {threecc("TOR"), fourcc("TORY")}, {threecc("TOT"), fourcc("TOAL")},
    {threecc("TP1"), fourcc("TPE1")}, {threecc("TP2"), fourcc("TPE2")},
    {threecc("TP3"), fourcc("TPE3")}, {threecc("TP4"), fourcc("TPE4")},
    {threecc("TPA"), fourcc("TPOS")}, {threecc("TPB"), fourcc("TPUB")},
    {threecc("TRC"), fourcc("TSRC")}, {threecc("TRD"), fourcc("TRDA")},
    {threecc("TRK"), fourcc("TRCK")}, {threecc("TSI"), fourcc("TSIZ")},
    {threecc("TSS"), fourcc("TSSE")}, {threecc("TT1"), fourcc("TIT1")},
    {threecc("TT2"), fourcc("TIT2")}, {threecc("TT3"), fourcc("TIT3")},
    {threecc("TXT"), fourcc("TEXT")}, {threecc("TXX"), fourcc("TXXX")},
    {threecc("TYE"), fourcc("TYER")}, {threecc("UFI"), fourcc("UFID")},
    {threecc("ULT"), fourcc("USLT")}, {threecc("WAF"), fourcc("WOAF")},
    {threecc("WAR"), fourcc("WOAR")}, {threecc("WAS"), fourcc("WOAS")},
    {threecc("WCM"), fourcc("WCOM")}, {threecc("WCP"), fourcc("WCOP")},
    {threecc("WPB"), fourcc("WPUB")}, {threecc("WXX"), fourcc("WXXX")},
};
static_assert(sizeof kSuccessors / sizeof kSuccessors[0] == 62, "62 translations");
static_assert(keys_ascending(kSuccessors), "sorted by key, no duplicates");
constexpr auto kSuccessorIndex = index_keys<128>(kSuccessors);
static_assert(index_finds_all(kSuccessors, kSuccessorIndex, 6), "every row within six slots");

}  // namespace

uint32_t map_v22_frame_identifier(uint32_t id) {
    const Successor *row = find_row(kSuccessors, kSuccessorIndex, id);
    return row != nullptr ? row->id : id;
}

}  // namespace kelid3::detail

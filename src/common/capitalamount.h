#pragma once

// An amount of money in Chinese capitals as banks write it on cheques and vouchers:
// 12345.67 is "壹万贰仟叁佰肆拾伍元陆角柒分". Written to the fen (分), rounded half away
// from zero. The rules for 零 and 整 are the banks' ones; where they allow a choice the
// first form is taken:
// - a run of zeros between digits is one 零 (1409.50 壹仟肆佰零玖元伍角), also across 万
//   and 亿 (100010000 壹亿零壹万);
// - zeros ending a group before 万 or 亿, and ending the yuan, are not written
//   (107000.53 壹拾万柒仟元零伍角叁分);
// - a zero yuan digit before a jiao, and a zero jiao before a fen, are written as 零
//   (1680.32 壹仟陆佰捌拾元零叁角贰分, 325.04 叁佰贰拾伍元零肆分);
// - 整 follows 元 when there is neither jiao nor fen, and is left out after 角
//   (1.50 壹元伍角);
// - 10 to 19 of a group are written 壹拾… (壹拾万元整);
// - less than a yuan has no 元 (0.50 伍角); zero is 零元整; a negative amount starts with 负.

#include "common/decimal.h"

#include <optional>
#include <string>

namespace rg {

// nullopt for amounts of 10^16 yuan and more, which no unit of the banks' writes.
std::optional<std::string> capitalAmount(const Decimal& amount);

} // namespace rg

// Common characters with more than one reading. ICU's Han-Latin gives each
// character one reading; a title that uses another one must be found by it
// too (重生 is "chongsheng", 长生 is "changsheng"). Each line lists every
// reading, the one ICU gives included.
#include <algorithm>
#include <iterator>

#include "library/han_folding.h"

namespace lirvo::library {

namespace {

struct Polyphone {
  char32_t character;
  const char* readings;
};

constexpr Polyphone kPolyphones[] = {
    {U'阿', "a e"},           {U'拗', "ao niu"},        {U'扒', "ba pa"},
    {U'柏', "bai bo"},        {U'薄', "bao bo"},        {U'堡', "bao bu pu"},
    {U'暴', "bao pu"},        {U'臂', "bi bei"},        {U'辟', "pi bi"},
    {U'便', "bian pian"},     {U'剥', "bo bao"},        {U'泊', "bo po"},
    {U'卜', "bu bo"},         {U'藏', "cang zang"},     {U'曾', "ceng zeng"},
    {U'差', "cha chai ci"},   {U'刹', "cha sha"},       {U'禅', "chan shan"},
    {U'颤', "chan zhan"},     {U'长', "chang zhang"},   {U'厂', "chang an"},
    {U'朝', "chao zhao"},     {U'车', "che ju"},        {U'称', "cheng chen"},
    {U'乘', "cheng sheng"},   {U'澄', "cheng deng"},    {U'匙', "chi shi"},
    {U'重', "zhong chong"},   {U'臭', "chou xiu"},      {U'畜', "chu xu"},
    {U'传', "chuan zhuan"},   {U'伺', "si ci"},         {U'攒', "cuan zan"},
    {U'大', "da dai"},        {U'单', "dan shan chan"}, {U'弹', "dan tan"},
    {U'石', "shi dan"},       {U'得', "de dei"},        {U'的', "de di"},
    {U'地', "di de"},         {U'提', "ti di"},         {U'调', "diao tiao"},
    {U'都', "dou du"},        {U'读', "du dou"},        {U'度', "du duo"},
    {U'囤', "dun tun"},       {U'恶', "e wu"},          {U'佛', "fo fu"},
    {U'否', "fou pi"},        {U'扛', "kang gang"},     {U'给', "gei ji"},
    {U'谷', "gu yu"},         {U'桧', "gui hui"},       {U'还', "hai huan"},
    {U'行', "xing hang"},     {U'巷', "xiang hang"},    {U'和', "he huo hu"},
    {U'吓', "xia he"},        {U'会', "hui kuai"},      {U'系', "xi ji"},
    {U'奇', "qi ji"},         {U'期', "qi ji"},         {U'夹', "jia ga"},
    {U'价', "jia jie"},       {U'将', "jiang qiang"},   {U'降', "jiang xiang"},
    {U'强', "qiang jiang"},   {U'角', "jiao jue"},      {U'觉', "jue jiao"},
    {U'脚', "jiao jue"},      {U'校', "xiao jiao"},     {U'解', "jie xie"},
    {U'劲', "jin jing"},      {U'卡', "ka qia"},        {U'壳', "ke qiao"},
    {U'落', "luo la lao"},    {U'烙', "lao luo"},       {U'乐', "le yue"},
    {U'了', "le liao"},       {U'俩', "lia liang"},     {U'踉', "liang lang"},
    {U'六', "liu lu"},        {U'露', "lu lou"},        {U'率', "lv shuai"},
    {U'抹', "mo ma"},         {U'埋', "mai man"},       {U'蔓', "man wan"},
    {U'没', "mei mo"},        {U'秘', "mi bi"},         {U'模', "mo mu"},
    {U'万', "wan mo"},        {U'哪', "na nei"},        {U'那', "na nei"},
    {U'弄', "nong long"},     {U'区', "qu ou"},         {U'胖', "pang pan"},
    {U'炮', "pao bao"},       {U'朴', "pu piao po"},    {U'栖', "qi xi"},
    {U'亲', "qin qing"},      {U'圈', "quan juan"},     {U'雀', "que qiao"},
    {U'塞', "sai se"},        {U'色', "se shai"},       {U'厦', "sha xia"},
    {U'莎', "sha suo"},       {U'什', "shen shi"},      {U'参', "can shen cen"},
    {U'沈', "shen chen"},     {U'省', "sheng xing"},    {U'盛', "sheng cheng"},
    {U'识', "shi zhi"},       {U'似', "si shi"},        {U'属', "shu zhu"},
    {U'术', "shu zhu"},       {U'数', "shu shuo"},      {U'说', "shuo shui yue"},
    {U'宿', "su xiu"},        {U'缩', "suo su"},        {U'汤', "tang shang"},
    {U'拓', "tuo ta"},        {U'尾', "wei yi"},        {U'尉', "wei yu"},
    {U'削', "xiao xue"},      {U'血', "xue xie"},       {U'吁', "xu yu"},
    {U'咽', "yan ye"},        {U'殷', "yin yan"},       {U'叶', "ye xie"},
    {U'熨', "yun yu"},        {U'仔', "zi zai"},        {U'择', "ze zhai"},
    {U'扎', "zha za"},        {U'轧', "ya zha ga"},     {U'粘', "zhan nian"},
    {U'着', "zhe zhao zhuo"}, {U'幢', "zhuang chuang"}, {U'综', "zong zeng"},
    {U'柞', "zuo zha"},       {U'钥', "yao yue"},
};

}  // namespace

const char* ExtraReadings(char32_t simplified) {
  // Small enough to search in place; looked up once per distinct character.
  const auto it = std::find_if(std::begin(kPolyphones), std::end(kPolyphones),
                               [&](const Polyphone& p) { return p.character == simplified; });
  return it != std::end(kPolyphones) ? it->readings : nullptr;
}

}  // namespace lirvo::library

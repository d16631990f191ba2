#pragma once
// Headlines for the stand-in news service: enough for eight lanes and more.
#include <string>
#include <vector>

namespace velmora::test {

inline std::vector<std::wstring> laneHeadlines(int count = 40) {
    static const wchar_t* const stems[] = {
        L"城市夜跑活动吸引上千市民参加", L"新建地铁线路今日开通试运营",   L"秋季农产品丰收价格保持稳定",
        L"图书馆延长开放时间方便读者",   L"气象台发布大风降温预报",       L"社区食堂推出老人优惠套餐",
        L"高校科研团队发布新型电池成果", L"博物馆举办古代陶瓷特展",       L"跨江大桥完成主体结构合龙",
        L"春运首日铁路客流平稳有序",     L"乡村公路改造工程全面完工",     L"少年足球联赛决赛今晚开赛",
    };
    std::vector<std::wstring> titles;
    for (int i = 0; i < count; ++i)
        titles.push_back(std::wstring(stems[i % std::size(stems)]) + L" 第" + std::to_wstring(i + 1) + L"条");
    return titles;
}

}  // namespace velmora::test

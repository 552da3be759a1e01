#include "SampleData.h"

#include "Store.h"

using namespace Qt::StringLiterals;

namespace {

struct SampleClass
{
    const char16_t* title;
    const char16_t* qKey;
    std::initializer_list<std::pair<const char16_t*, const char16_t*>> children;
};

} // namespace

Status addSampleData(Store& store)
{
    const SampleClass tree[] = {
        {u"数码", u"1", {{u"手机", u"a"}, {u"电脑", u"b"}, {u"相机", u"c"}}},
        {u"汽车", u"2", {{u"轿车", u"a"}, {u"SUV", u"b"}, {u"新能源", u"c"}}},
        {u"美食", u"3", {{u"川菜", u"a"}, {u"甜品", u"b"}, {u"饮品", u"c"}}},
        {u"健康", u"4", {}},
        {u"旅游", u"5", {}},
    };
    for (const SampleClass& top : tree) {
        const auto code = store.addClass(QString(), QString::fromUtf16(top.title), QString::fromUtf16(top.qKey));
        if (!code)
            return Status::failure(code.error());
        for (const auto& [title, qKey] : top.children) {
            const auto child = store.addClass(*code, QString::fromUtf16(title), QString::fromUtf16(qKey));
            if (!child)
                return Status::failure(child.error());
        }
    }

    const QStringList subjects = {
        u"华为手机"_s, u"苹果手机"_s, u"小米手机"_s, u"游戏本"_s,   u"笔记本电脑"_s, u"平板电脑"_s,
        u"单反相机"_s, u"微单相机"_s, u"运动相机"_s, u"家用轿车"_s, u"紧凑型SUV"_s,  u"电动汽车"_s,
        u"混动汽车"_s, u"充电桩"_s,   u"火锅"_s,     u"麻婆豆腐"_s, u"水煮鱼"_s,     u"蛋糕"_s,
        u"冰淇淋"_s,   u"奶茶"_s,     u"咖啡"_s,     u"感冒药"_s,   u"维生素"_s,     u"体检"_s,
        u"三亚旅游"_s, u"云南旅游"_s, u"西藏自驾"_s, u"酒店预订"_s, u"特价机票"_s,   u"McDonald's"_s,
    };
    const QStringList modifiers = {u"价格"_s, u"哪个好"_s, u"推荐"_s,   u"怎么样"_s, u"排行榜"_s,
                                   u"图片"_s, u"评测"_s,   u"多少钱"_s, u"附近"_s,   u" 2026"_s};
    QStringList keywords;
    for (const QString& modifier : modifiers) {
        for (const QString& subject : subjects)
            keywords << subject + modifier;
    }
    return Status::of(store.insertKeywords(keywords));
}

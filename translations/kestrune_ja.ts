<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP" sourcelanguage="ja">
<context>
    <name>Kestrune</name>
    <message>
        <source>ヘルパーはシステムサービスのため、管理者がインストールする必要があります: %@</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ヘルパーのプログラムが見つかりません: %@</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>このフォルダからはヘルパーを起動できません: %@</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>サービスファイルを書き込めません: %@</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ヘルパーはシステムサービスのため、アプリからは登録解除できません。管理者がアンインストールしてください</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>サービスファイルを削除できません: %@</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ヘルパーを有効にするには、管理者としてインストールしてください: %@</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ヘルパーを有効にするには、ヘルパーを登録してください</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>初期化中</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ヘルパー未接続(監視のみ)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>このMacでは充電制御キーが見つかりません(監視のみ)</source>
        <translation>このコンピューターでは充電制御が見つかりません(監視のみ)</translation>
    </message>
    <message>
        <source>充電制御オフ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>残量低下のため充電を許可</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>バッテリー駆動中</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>80%リミット適用中(ハードウェア制限)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>満充電</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%@ — 充電中</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%@ — 充電停止中(%lld%%)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>(macOSの充電最適化と競合の可能性)</source>
        <translation>(他の充電しきい値の設定と競合の可能性)</translation>
    </message>
    <message>
        <source>macOSの「バッテリー充電の最適化」が本アプリの充電制御と競合している可能性があります。システム設定 → バッテリーでオフにすることを推奨します。</source>
        <translation>デスクトップの電源設定や他の充電管理ツールの充電しきい値が、本アプリの充電制御と競合している可能性があります。そちらの設定をオフにすることを推奨します。</translation>
    </message>
    <message>
        <source>(macOS純正80%上限が有効)</source>
        <translation>(ファームウェアの80%充電しきい値が有効)</translation>
    </message>
    <message>
        <source>macOS純正の80%充電上限が有効なため、80%で充電が停止します。システム設定 → バッテリーで解除するか、本アプリの上限を80%以下にしてください。</source>
        <translation>バッテリーの80%充電しきい値が有効なため、80%で充電が停止します。デスクトップの電源設定で解除するか、本アプリの上限を80%以下にしてください。</translation>
    </message>
    <message>
        <source>上限 %lld%%</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>AI充電: %@の取り外しに向けて満充電中</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>満充電モード</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>充電制御の書き込みに失敗しました</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>80%リミットの書き込みに失敗しました</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>放電制御の書き込みに失敗しました</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ヘルパーに接続できません。システム設定で許可したあと「修復」を試してください。</source>
        <translation>ヘルパーに接続できません。ヘルパーがインストールされていることを確認したあと「修復」を試してください。</translation>
    </message>
    <message>
        <source>確認中</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>未登録</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>承認待ち(システム設定で許可してください)</source>
        <translation>承認待ち(管理者に許可を求めてください)</translation>
    </message>
    <message>
        <source>有効</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>見つかりません</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>登録エラー: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>登録解除エラー: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ヘルパーのバージョンが一致しません(再ビルド/再登録してください)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>キーボードバックライトOFF</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>画面輝度70%制限</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>画面輝度50%制限</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Spotlight一時停止</source>
        <translation>ファイル索引一時停止</translation>
    </message>
    <message>
        <source>Time Machine一時停止</source>
        <translation>バックアップ一時停止</translation>
    </message>
    <message>
        <source>%@ を減速</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%lld分</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%lld時間%lld分</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%lld時間</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>今日、バッテリーを%@延命しました</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>AI節電の実績をシェアして自慢しましょう。タップでシェア画面を開きます。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>累計%@の延命を達成しました</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Kestruneの累計実績をシェアできます。タップでシェア画面を開きます。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>7日連続で節電実績を達成しました</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1週間の継続実績をシェアしましょう。タップでシェア画面を開きます。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>アップデート情報の形式が正しくありません</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>アップデート情報に公開中のリリースがありません</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>アップデートサーバーが時間内に応答しませんでした</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>アップデート情報が大きすぎます</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>アップデート情報を取得できませんでした(HTTP %lld)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>アップデート情報を取得できませんでした: %@</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>アップデートの確認</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>お使いのKestruneは最新です</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Kestrune %@ が最新のバージョンです。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>新しいバージョンのKestruneがあります</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Kestrune %1$@ が公開されています(お使いのバージョンは %2$@)。ディストリビューションのパッケージから更新できます。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ダウンロードページを開く</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>アップデートを確認できませんでした</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>待機中</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>待機</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>標準節電</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>強化節電</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>最大節電</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>オートパイロットOFF</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>オートパイロット: オフ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>AC接続</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>AC接続中(待機)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>L%lld→L%lld (残量%lld%%)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>最大節電モード</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>残量%lld%%。バックグラウンドを強く制限しています。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%@ (前面化のため解除)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%@ の実測効果 %.2fW</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>AI節電レポート</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>手動の輝度変更を検知 — このセッションの自動減光を停止(好みを学習)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>AI戦略適用中</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>推定%.1fh</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>目標%.1fh</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>節電%.1fW</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%lld件減速中</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>削減目標を満たしたため解除</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>、</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> ほか%lld件</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> を減速中(前面で使うと自動解除)。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>バックグラウンドを減速しました</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%@ を適用</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%@ を解除 (%@)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%@ (手動解除・好みを学習)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>除外リストへの追加を提案</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>「%@」の減速を2回解除しました。省電力タブから除外リストに追加できます。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%@ の除外を提案</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>全アクションを復元 (%@)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>省電力戦略の生成は1日1回までです(本日分は生成済み)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>戦略JSONの解析に失敗しました</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>バックエンド連携が無効です</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>オフライン(サーバーに到達できません)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>サーバーURLが不正です</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>不正なレスポンス</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>戦略更新エラー: %@</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>レポート生成エラー: %@</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>診断エラー: %@</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>このプログラムの場所からはログイン時に起動できません: %@</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ログイン項目を削除できません: %@</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ログイン項目を書き込めません: %@</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%lld日連続</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>KestruneのAI節電で、今日Macのバッテリーが +%@ 長持ちしました</source>
        <translation>KestruneのAI節電で、今日PCのバッテリーが +%@ 長持ちしました</translation>
    </message>
    <message>
        <source>KestruneのAI節電で、今週Macのバッテリーが合計 +%@ 長持ちしました</source>
        <translation>KestruneのAI節電で、今週PCのバッテリーが合計 +%@ 長持ちしました</translation>
    </message>
    <message>
        <source>Kestrune導入から、Macのバッテリーを累計 +%@ 延命できました</source>
        <translation>Kestrune導入から、PCのバッテリーを累計 +%@ 延命できました</translation>
    </message>
    <message>
        <source>今日</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>今日の実績</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>今週</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>今週の実績</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>累計</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>累計実績</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>延命</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>AIが自分のMacに合わせて学習した節電の実績(推定)</source>
        <translation>AIが自分のPCに合わせて学習した節電の実績(推定)</translation>
    </message>
    <message>
        <source>節電電力量</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>継続実績</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>バッテリー最大容量</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>充電上限に到達しました</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%lld%%で充電を停止しました。バッテリーの劣化を抑えます。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>充電制御エラー</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>充電制御の競合を検出</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>満充電が完了しました</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>バッテリーが100%になりました。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>バッテリー温度が高くなっています</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>現在 %.1f°C。高温はバッテリー劣化を早めます。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>バッテリー消費が異常に多いです</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>現在 %.1fW 消費中(通常 約%.1fW)。インサイトで消費源を確認できます。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>AI診断</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>異常診断: %@</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>はじめる</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>次へ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>完了</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>AI省電力</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>節電効果を実測学習し、駆動時間を自動で延ばします</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>充電管理</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>充電上限でバッテリーの劣化を抑えます</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>見える化</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>「今日 +X分延命」など効果を定量表示します</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Kestruneへようこそ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>AIがこのMacの使い方を学習し、バッテリーを長持ちさせます。</source>
        <translation>AIがこのPCの使い方を学習し、バッテリーを長持ちさせます。</translation>
    </message>
    <message>
        <source>通知は許可されています</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>通知が拒否されています(あとから変更できます)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>システム設定で許可する</source>
        <translation>設定で許可する</translation>
    </message>
    <message>
        <source>通知を許可する</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>通知の許可</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>充電の完了・バッテリーの高温・AI節電レポートなど、
大事なタイミングだけお知らせします。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ヘルパーは有効です</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>システム設定での許可が必要です</source>
        <translation>許可が必要です</translation>
    </message>
    <message>
        <source>「ログイン項目と機能拡張」で Kestrune を許可してください。</source>
        <translation>管理者に Kestrune のヘルパーを許可してもらってください。</translation>
    </message>
    <message>
        <source>システム設定を開く</source>
        <translation>設定を開く</translation>
    </message>
    <message>
        <source>許可したので再接続</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ヘルパーを有効にする</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>スキップしても監視機能は使えます(充電制御・省電力は後から「一般」タブで有効化できます)。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>充電制御を有効にする</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>充電上限や省電力の自動制御には、システム権限を持つ
ヘルパーの登録が必要です(Appleの標準機構を使用)。</source>
        <translation>充電上限や省電力の自動制御には、システム権限を持つ
ヘルパーの登録が必要です(システム標準の仕組みを使用)。</translation>
    </message>
    <message>
        <source>ログイン時に自動で起動する(推奨)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>通知</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>充電制御ヘルパー</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>準備ができました</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>戻る</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>未設定(後から変更可)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>画像をコピー</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>コピーしました</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>画像はコピー済みです — Xの投稿画面で ⌘V を押すと添付されます</source>
        <translation>画像はコピー済みです — Xの投稿画面で Ctrl+V を押すと添付されます</translation>
    </message>
    <message>
        <source>期間</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>「Xでシェア」で投稿画面が開きます。画像を付けるには投稿画面で ⌘V(コピー済み)。リンクだけでも投稿後に実績カードが画像として表示されます。</source>
        <translation>「Xでシェア」で投稿画面が開きます。画像を付けるには投稿画面で Ctrl+V(コピー済み)。リンクだけでも投稿後に実績カードが画像として表示されます。</translation>
    </message>
    <message>
        <source>Xでシェア</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>その他…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>画像を保存</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Xの投稿画面を開きました</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>⌘Vを押すと実績カードの画像を添付できます(コピー済み)。リンクだけでも投稿後にカードが画像表示されます。</source>
        <translation>Ctrl+Vを押すと実績カードの画像を添付できます(コピー済み)。リンクだけでも投稿後にカードが画像表示されます。</translation>
    </message>
    <message>
        <source>残量の推移</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>温度の推移</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>充放電電力</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>データを収集中です(1分ごとに記録されます)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>放電 %.1fW</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>アダプタ%lldW </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>充放電 %+.1fW</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>残量</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>最大容量</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>サイクル数</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>温度</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>24時間</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>7日間</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>30日間</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%lld回</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>実効 %lld / 設計 %lld mAh</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>設計容量比の実効容量</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>M/d(ddd)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>M/d</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>充電上限に到達したら通知</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>満充電が完了したら通知</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>高温を警告</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>異常なバッテリー消費を警告</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>節電マイルストーンを通知(シェア促し)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>状態</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ヘルパーバージョン</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>充電停止キー</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>放電キー</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Apple 80%リミット(CHWA)</source>
        <translation>80%充電しきい値(CHWA)</translation>
    </message>
    <message>
        <source>充電制御(SMC書き込み)にはroot権限のヘルパーデーモンが必要です。登録後、「システム設定 → ログイン項目と機能拡張」で許可し、この画面に戻って「許可したので再接続」を押してください。</source>
        <translation>充電制御(充電設定の書き込み)にはroot権限のヘルパーデーモンが必要です。登録後、管理者に許可してもらい、この画面に戻って「許可したので再接続」を押してください。</translation>
    </message>
    <message>
        <source>接続済み</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>なし</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>あり</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>再接続してプローブ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ヘルパーを修復</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>登録解除</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ヘルパーを有効化</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>しきい値 %lld°C</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>表示と起動</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>メニューバーに残量%を表示</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ログイン時に起動</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>システムに従う</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>言語</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>言語の変更を反映するには再起動が必要です</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>再起動すると選択した言語で表示されます。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>今すぐ再起動</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>後で</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>メンテナンス</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>充電制御をリセット(充電を許可状態に戻す)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>macOS標準の「バッテリー充電の最適化」はオフを推奨します(本アプリの制御と競合します)。システム設定 → バッテリーで変更できます。</source>
        <translation>デスクトップの電源設定や他の充電管理ツールの充電しきい値はオフを推奨します(本アプリの制御と競合します)。</translation>
    </message>
    <message>
        <source>ソフトウェアアップデート</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>バージョン</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>前回の確認</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>今すぐアップデートを確認</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>新しいバージョンは自動的に確認・ダウンロードされ、アプリの再起動時に適用されます。</source>
        <translation>新しいバージョンはディストリビューションのパッケージから提供され、アプリの再起動時に適用されます。</translation>
    </message>
    <message>
        <source>yyyy/MM/dd H:mm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>AI充電(ジャストインタイム)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>AI充電を有効にする</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>普段ケーブルを抜く時刻を学習し、直前まで上限で待機してから満充電に切り替えます。上限運用の劣化抑制と、出発時の満充電を両立します。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>学習状況</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>次の取り外し予測</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>学習サンプル数</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>学習した充電速度</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>通常のバッテリー消費</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>現在AI充電ウィンドウ内: 満充電に向けて充電中です</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>アプリ別電力(相対値)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>計測する</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>計測にはヘルパーの有効化が必要です(「一般」タブから)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>「計測する」を押すと、約3秒間サンプリングして消費電力の多いアプリを表示します。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>計測データがありません。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>学習中(取り外しイベントが3件以上必要)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>M/d(ddd) H:mm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>余裕時間: %lld分前に完了</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%lld件の取り外しイベント</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>約%.1f分/%%(100%%まで残り%d%%なら約%.0f分)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>約%.1fW</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ダッシュボード</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>充電ルール</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>AIインサイト</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>一般</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>充電上限</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>充電上限を有効にする</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>上限</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>80%(ハードウェア制限)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>100%(制限なし)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>このMacでは細かい上限指定キーが見つからないため、Apple純正の80%リミット(CHWA)を使用します。</source>
        <translation>このマシンでは細かい上限指定ができないため、バッテリー自身の80%充電しきい値(CHWA)を使用します。</translation>
    </message>
    <message>
        <source>動作状況</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>現在の状態</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>実効上限</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ヘルパー未接続のため制御は行われません(「一般」タブから有効化)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%lld%%</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>充電再開: 上限から %lld%% 低下したら</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>例: 上限%lld%%の場合、%lld%%まで下がると充電を再開します。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Kestrune</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>実績をシェア</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ようこそ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>今すぐ満充電</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>満充電を中止</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>100%まで充電中</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>バッテリー最大容量(設計容量比)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>充放電サイクル数</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>バッテリー温度</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>再接続</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>修復</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>充電制御にはヘルパーの有効化が必要です</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>状態: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ダッシュボードを開く</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>アップデートを確認</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>終了</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>停止中</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>給電中</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>アダプタ %lldW</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>現在の消費ペースでの推定駆動可能時間</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>残り約%lld時間%lld分</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>残り約%lld分</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>LLM戦略適用中</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>自動</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>手動</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>レベル</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>今日 +%.0f分延命(推定)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>消費大: %@</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>今週の合計</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>実績カードを画像にしてSNSでシェアできます。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>LLM戦略プランナーを有効にする</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>セッション終了時にAIレポートを生成</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>本日の使用量</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>現在のAI戦略</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>戦略を今すぐ生成</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>最新のセッションレポート</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>直近のAI異常診断</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%lld回 / 約%lldトークン</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>目標 %.1fW</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>推奨減速: %@</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>回避: %@</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>更新: %@</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>H:mm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>バッテリー駆動中に自動で戦略が生成されます。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>LLM未接続(オンデバイス学習のみで動作中)。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>本日分は生成済み(生成は1日1回)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>信頼度 %lld%%(実測5回で100%%)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>実測%lld回</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>バッテリー駆動中にアクションを適用しながら効果を実測学習します。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>学習した好み(自動で避けます)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>7日間の実績</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>省電力オートパイロットを有効にする</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>画面輝度の自動減光</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>キーボードバックライトを消灯</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>アクションを通知</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>自動学習(使用パターンから予測)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>手動指定</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>目標駆動時間</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>今から適用</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>目標</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Spotlightインデックス作成を一時停止</source>
        <translation>ファイル索引作成を一時停止</translation>
    </message>
    <message>
        <source>Time Machine自動バックアップを一時停止</source>
        <translation>自動バックアップを一時停止</translation>
    </message>
    <message>
        <source>どちらもAC再接続時に自動で再開されます。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%@ — 巻き戻し傾向 %.1f</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>+%.0f分延命(%.1fWh)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%.1f時間</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>M月d日 H:mm</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>現在減速中のプロセスはありません。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>アプリ名(部分一致)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>追加</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>まだアクションはありません。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>減速中のプロセス(%lld件)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>解除</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PID %lld</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>「%@」を除外リストに追加しますか?(解除操作から学習)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>無視</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ブースト(AC接続まで最大節電)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>オートパイロット</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>今日の節電実績</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>推定駆動可能時間</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>目標(あと)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>削減目標</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>自動調整</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>省電力レベル</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>L%lld</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>L%lld %@</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>+%.0f分延命(推定・%.1fWh)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>まだ実績がありません</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>学習中(セッション履歴が3件以上必要)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%.1fW(選択済み %.1fW)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>延命実績</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>AIエンジン(LLM)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>AI戦略とレポート</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>学習済みの節電効果(このMacの実測)</source>
        <translation>学習済みの節電効果(このコンピューターの実測)</translation>
    </message>
    <message>
        <source>設定</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>バックグラウンドサービス(逼迫時に一時停止)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>除外リスト(減速対象にしない)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>アクションログ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Low Power Mode</source>
        <translation>省電力プロファイル</translation>
    </message>
</context>
<context>
    <name>kestrune::UserDefaults</name>
    <message>
        <source>cannot read %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is not valid JSON: %2 at offset %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is not a preferences file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>; the file could not be moved aside, so changes will not be saved</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot create %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot write %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 was written by a newer version (format %2); changes will not be saved</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is of an unknown format version</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 holds malformed values for %2; they read as unset and are kept as they are</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
